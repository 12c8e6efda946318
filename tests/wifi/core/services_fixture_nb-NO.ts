<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="nb_NO">
<context>
    <name>IPCHelper</name>
    <message>
        <source>Enter password</source>
        <translation>Skriv inn passord</translation>
    </message>
</context>
</TS>
