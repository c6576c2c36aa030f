<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en_US">
<context>
    <name>vesko::DisplayText</name>
    <message numerus="yes">
        <source>%n minute(s) ago</source>
        <translation>
            <numerusform>%n minute ago</numerusform>
            <numerusform>%n minutes ago</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%n hour(s) ago</source>
        <translation>
            <numerusform>%n hour ago</numerusform>
            <numerusform>%n hours ago</numerusform>
        </translation>
    </message>
</context>
<context>
    <name>vesko::ScopeChip</name>
    <message numerus="yes">
        <source>Reading the folder… %Ln folder(s)</source>
        <translation>
            <numerusform>Reading the folder… %Ln folder</numerusform>
            <numerusform>Reading the folder… %Ln folders</numerusform>
        </translation>
    </message>
</context>
</TS>
