<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="fr">
<context>
    <name>ZEP Error</name>
    <message>
        <source>error:</source>
        <translation>erreur :</translation>
    </message>
    <message>
        <source>`%1&apos; is not a good parameter for the `%2&apos; option.</source>
        <translation>`%1&apos; n&apos;est pas un paramètre valable pour l&apos;option `%2&apos;.</translation>
    </message>
    <message>
        <source>OTD or OTC source files must be specified on the command line.</source>
        <translation>Des fichiers source OTD ou OTC doivent être donnés sur la ligne de commande.</translation>
    </message>
    <message>
        <source>%1 message : %2 Error(s) detected
</source>
        <translation>%1 message : %2 erreur(s) détectée(s)
</translation>
    </message>
</context>
</TS>
