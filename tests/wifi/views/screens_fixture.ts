<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<!-- A test catalog, no product language: each screen text it knows comes
     back between guillemets, so a test sees that it reached the screen. -->
<TS version="2.1">
<context>
    <name>QObject</name>
    <message>
        <source>WIFI Settings</source>
        <translation>«WIFI Settings»</translation>
    </message>
    <message>
        <source>No new recordings or
 saved tracks are available for sync.</source>
        <translation>«No new recordings»</translation>
    </message>
    <message>
        <source>   Enter network name</source>
        <translation>   «Enter network name»</translation>
    </message>
    <message>
        <source>None</source>
        <translation>«None»</translation>
    </message>
    <message>
        <source>WPA2-PSK(AES)</source>
        <translation>«WPA2-PSK(AES)»</translation>
    </message>
    <message>
        <source>Open</source>
        <translation>«Open»</translation>
    </message>
    <message>
        <source>WPA2 PSK(AES)</source>
        <translation>«WPA2 PSK(AES)»</translation>
    </message>
</context>
</TS>
