<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="fr_FR">
<context>
    <name>Lettrix_ClassContainer</name>
    <message>
        <source>(</source>
        <translation>&lt;</translation>
    </message>
    <message>
        <source>Numeric</source>
        <translation>Digits</translation>
    </message>
    <message>
        <source>a</source>
        <translation>aàâ</translation>
    </message>
</context>
<context>
    <name>Other</name>
    <message>
        <source>b</source>
        <translation>x</translation>
    </message>
</context>
</TS>
