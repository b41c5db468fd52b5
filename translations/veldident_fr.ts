<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="fr">
<context>
    <name>VELDIdent</name>
    <message>
        <source>V++ Oved Izodazir</source>
        <extracomment>The product name; normally kept as it is</extracomment>
        <translation>V++ Oved Izodazir</translation>
    </message>
    <message>
        <source>%1 - Test Script Translator - Release %2
</source>
        <translation>%1 - Traducteur de scripts de test - Version %2
</translation>
    </message>
    <message>
        <source>Copyright (C) %1. All Rights Reserved.

</source>
        <translation>Copyright (C) %1. Tous droits réservés.

</translation>
    </message>
</context>
</TS>
