<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en_US">
<context>
    <name>vesko::DisplayText</name>
    <message numerus="yes">
        <source>%n yr. ago</source>
        <translation>
            <numerusform>%n yr. ago</numerusform>
            <numerusform>%n yr. ago</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>in %n yr.</source>
        <translation>
            <numerusform>in %n yr.</numerusform>
            <numerusform>in %n yr.</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%n mo. ago</source>
        <translation>
            <numerusform>%n mo. ago</numerusform>
            <numerusform>%n mo. ago</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>in %n mo.</source>
        <translation>
            <numerusform>in %n mo.</numerusform>
            <numerusform>in %n mo.</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%n wk. ago</source>
        <translation>
            <numerusform>%n wk. ago</numerusform>
            <numerusform>%n wk. ago</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>in %n wk.</source>
        <translation>
            <numerusform>in %n wk.</numerusform>
            <numerusform>in %n wk.</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%n day(s) ago</source>
        <translation>
            <numerusform>%n day ago</numerusform>
            <numerusform>%n days ago</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>in %n day(s)</source>
        <translation>
            <numerusform>in %n day</numerusform>
            <numerusform>in %n days</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%n hr. ago</source>
        <translation>
            <numerusform>%n hr. ago</numerusform>
            <numerusform>%n hr. ago</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>in %n hr.</source>
        <translation>
            <numerusform>in %n hr.</numerusform>
            <numerusform>in %n hr.</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%n min. ago</source>
        <translation>
            <numerusform>%n min. ago</numerusform>
            <numerusform>%n min. ago</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>in %n min.</source>
        <translation>
            <numerusform>in %n min.</numerusform>
            <numerusform>in %n min.</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%n sec. ago</source>
        <translation>
            <numerusform>%n sec. ago</numerusform>
            <numerusform>%n sec. ago</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>in %n sec.</source>
        <translation>
            <numerusform>in %n sec.</numerusform>
            <numerusform>in %n sec.</numerusform>
        </translation>
    </message>
</context>
</TS>
