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
    <message>
        <source>info:</source>
        <translation>info :</translation>
    </message>
    <message>
        <source>warning:</source>
        <translation>avertissement :</translation>
    </message>
    <message>
        <source>fatal:</source>
        <translation>erreur fatale :</translation>
    </message>
    <message>
        <source>lexical error:</source>
        <translation>erreur lexicale :</translation>
    </message>
    <message>
        <source>syntax error:</source>
        <translation>erreur de syntaxe :</translation>
    </message>
    <message>
        <source>semantic error:</source>
        <translation>erreur sémantique :</translation>
    </message>
    <message>
        <source>internal error: %1</source>
        <translation>erreur interne : %1</translation>
    </message>
    <message>
        <source>out of memory</source>
        <translation>mémoire épuisée</translation>
    </message>
    <message>
        <source>Not enough memory to allocate another token.</source>
        <translation>Pas assez de mémoire pour allouer un autre jeton.</translation>
    </message>
    <message>
        <source>Not enough memory to reallocate the token `%1&apos;.</source>
        <translation>Pas assez de mémoire pour réallouer le jeton `%1&apos;.</translation>
    </message>
    <message>
        <source>Not enough memory to create the token `%1&apos;.</source>
        <translation>Pas assez de mémoire pour créer le jeton `%1&apos;.</translation>
    </message>
    <message>
        <source>Not enough memory to create the token `%1 %2&apos;.</source>
        <translation>Pas assez de mémoire pour créer le jeton `%1 %2&apos;.</translation>
    </message>
    <message>
        <source>Not enough memory to create the hash token `%1&apos;.</source>
        <translation>Pas assez de mémoire pour créer le jeton de hachage `%1&apos;.</translation>
    </message>
    <message>
        <source>Not enough memory to create the hash token `%1 %2&apos;.</source>
        <translation>Pas assez de mémoire pour créer le jeton de hachage `%1 %2&apos;.</translation>
    </message>
    <message>
        <source>Error while seeking in the file before `%1&apos;.</source>
        <translation>Erreur lors du positionnement dans le fichier avant `%1&apos;.</translation>
    </message>
    <message>
        <source>The use of `%1&apos; is not allowed here.</source>
        <translation>L&apos;utilisation de `%1&apos; n&apos;est pas autorisée ici.</translation>
    </message>
    <message>
        <source>`%1&apos; expected instead of `%2&apos;.</source>
        <translation>`%1&apos; attendu au lieu de `%2&apos;.</translation>
    </message>
    <message>
        <source>`%1&apos; or &apos;%2&apos; expected instead of `%3&apos;.</source>
        <translation>`%1&apos; ou &apos;%2&apos; attendu au lieu de `%3&apos;.</translation>
    </message>
    <message>
        <source>`%1&apos;, &apos;%2&apos; or &apos;%3&apos; expected instead of `%4&apos;.</source>
        <translation>`%1&apos;, &apos;%2&apos; ou &apos;%3&apos; attendu au lieu de `%4&apos;.</translation>
    </message>
    <message>
        <source>Correct native expression expected.</source>
        <translation>Expression native correcte attendue.</translation>
    </message>
    <message>
        <source>`%1&apos;, &apos;%2&apos;, &apos;%3&apos;, or &apos;%4&apos; expected instead of `%5&apos;.</source>
        <translation>`%1&apos;, &apos;%2&apos;, &apos;%3&apos; ou &apos;%4&apos; attendu au lieu de `%5&apos;.</translation>
    </message>
    <message>
        <source>`%1&apos; name expected instead of `%2&apos;.</source>
        <translation>Nom de `%1&apos; attendu au lieu de `%2&apos;.</translation>
    </message>
    <message>
        <source>`%1&apos; or &apos;%2&apos; name expected instead of `%3&apos;.</source>
        <translation>Nom de `%1&apos; ou &apos;%2&apos; attendu au lieu de `%3&apos;.</translation>
    </message>
    <message>
        <source>`%1&apos;, &apos;%2&apos; or &apos;%3&apos; name expected instead of `%4&apos;.</source>
        <translation>Nom de `%1&apos;, &apos;%2&apos; ou &apos;%3&apos; attendu au lieu de `%4&apos;.</translation>
    </message>
    <message>
        <source>`%1&apos; expression expected instead of `%2&apos;.</source>
        <translation>Expression `%1&apos; attendue au lieu de `%2&apos;.</translation>
    </message>
    <message>
        <source>`%1&apos; is not %2 component.</source>
        <translation>`%1&apos; n&apos;est pas un composant %2.</translation>
    </message>
    <message>
        <source>%1 `%2&apos; not expected.</source>
        <translation>%1 `%2&apos; inattendu.</translation>
    </message>
    <message>
        <source>Cannot create list of parameters `(%1)&apos;.</source>
        <translation>Impossible de créer la liste de paramètres `(%1)&apos;.</translation>
    </message>
    <message>
        <source>`%1&apos; not expected now.</source>
        <translation>`%1&apos; inattendu à cet endroit.</translation>
    </message>
    <message>
        <source>The %1 component is already defined in this block.</source>
        <translation>Le composant %1 est déjà défini dans ce bloc.</translation>
    </message>
    <message>
        <source>The %1 component `%2&apos; is already defined in this block.</source>
        <translation>Le composant %1 `%2&apos; est déjà défini dans ce bloc.</translation>
    </message>
    <message>
        <source>Unable to resolve the %1 `%2&apos;.</source>
        <translation>Impossible de résoudre %1 `%2&apos;.</translation>
    </message>
    <message>
        <source>The TEST CLASS `%1&apos; could not inherit from itself.</source>
        <translation>La TEST CLASS `%1&apos; ne peut pas hériter d&apos;elle-même.</translation>
    </message>
    <message>
        <source>Component `%1&apos; not found, while resolving `%2&apos;.</source>
        <translation>Composant `%1&apos; introuvable lors de la résolution de `%2&apos;.</translation>
    </message>
    <message>
        <source>Too %1 parameters in `%2&apos;.</source>
        <translation>Nombre de paramètres incorrect dans `%2&apos; (too %1).</translation>
    </message>
    <message>
        <source>`%1&apos; must be a brother of `%2&apos; while resolving `%3&apos;.</source>
        <translation>`%1&apos; doit être un frère de `%2&apos; lors de la résolution de `%3&apos;.</translation>
    </message>
    <message>
        <source>The file `%1&apos; has already been included.</source>
        <translation>Le fichier `%1&apos; a déjà été inclus.</translation>
    </message>
    <message>
        <source>While resolving the TEST CLASS `%1&apos;, an inheritance cycle was found in `%2&apos; .</source>
        <translation>Lors de la résolution de la TEST CLASS `%1&apos;, un cycle d&apos;héritage a été trouvé dans `%2&apos;.</translation>
    </message>
    <message>
        <source>While resolving the RUN of `%1&apos;, an execution cycle was found.</source>
        <translation>Lors de la résolution du RUN de `%1&apos;, un cycle d&apos;exécution a été trouvé.</translation>
    </message>
    <message>
        <source>While resolving the CALL of `%1&apos;, a PROC cycle was found.</source>
        <translation>Lors de la résolution du CALL de `%1&apos;, un cycle de PROC a été trouvé.</translation>
    </message>
    <message>
        <source>The reflexive transition `%1&apos; is not allowed (automatically generated).</source>
        <translation>La transition réflexive `%1&apos; n&apos;est pas autorisée (générée automatiquement).</translation>
    </message>
    <message>
        <source>Not enough memory to reallocate the buffer `%1&apos;.</source>
        <translation>Pas assez de mémoire pour réallouer le tampon `%1&apos;.</translation>
    </message>
    <message>
        <source>Cannot open `%1&apos;.</source>
        <translation>Impossible d&apos;ouvrir `%1&apos;.</translation>
    </message>
    <message>
        <source>Cannot create `%1&apos;.</source>
        <translation>Impossible de créer `%1&apos;.</translation>
    </message>
    <message>
        <source>Cannot close `%1&apos;.</source>
        <translation>Impossible de fermer `%1&apos;.</translation>
    </message>
    <message>
        <source>Cannot initialize internal form.</source>
        <translation>Impossible d&apos;initialiser la forme interne.</translation>
    </message>
    <message>
        <source>Error while building %1 `%2&apos; node.</source>
        <translation>Erreur lors de la construction du nœud %1 `%2&apos;.</translation>
    </message>
    <message>
        <source>Not enough memory to allocate filename `%1&apos;.</source>
        <translation>Pas assez de mémoire pour allouer le nom de fichier `%1&apos;.</translation>
    </message>
    <message>
        <source>Unknown token `%1&apos; in internal form.</source>
        <translation>Jeton `%1&apos; inconnu dans la forme interne.</translation>
    </message>
    <message>
        <source>Trying to resolve a NULL pointer.</source>
        <translation>Tentative de résolution d&apos;un pointeur NULL.</translation>
    </message>
    <message>
        <source>Not enough free memory available.</source>
        <translation>Pas assez de mémoire libre disponible.</translation>
    </message>
    <message>
        <source>Label `%1&apos; not found.</source>
        <translation>Étiquette `%1&apos; introuvable.</translation>
    </message>
    <message>
        <source>Cannot open `%1&apos;, too many files open.</source>
        <translation>Impossible d&apos;ouvrir `%1&apos; : trop de fichiers ouverts.</translation>
    </message>
    <message>
        <source>Too many errors.</source>
        <translation>Trop d&apos;erreurs.</translation>
    </message>
    <message>
        <source>Cannot open `%1&apos;, not a correct Duvodu Doruruv source file.</source>
        <translation>Impossible d&apos;ouvrir `%1&apos; : ce n&apos;est pas un fichier source Duvodu Doruruv correct.</translation>
    </message>
    <message>
        <source>Cannot open `%1&apos;, only one OTD source file must be passed on the command line.</source>
        <translation>Impossible d&apos;ouvrir `%1&apos; : un seul fichier source OTD doit être donné sur la ligne de commande.</translation>
    </message>
    <message>
        <source>One argument is needed for the `%1&apos; option.</source>
        <translation>L&apos;option `%1&apos; nécessite un argument.</translation>
    </message>
    <message>
        <source>The maximum number of errors can range from 1 to 30000.</source>
        <translation>Le nombre maximal d&apos;erreurs doit être compris entre 1 et 30000.</translation>
    </message>
    <message>
        <source>The `%1&apos; option must be specified.</source>
        <translation>L&apos;option `%1&apos; doit être indiquée.</translation>
    </message>
    <message>
        <source>The `%1&apos; option must be specified only once.</source>
        <translation>L&apos;option `%1&apos; ne doit être indiquée qu&apos;une seule fois.</translation>
    </message>
    <message>
        <source>(unexpected error)</source>
        <translation>(erreur inattendue)</translation>
    </message>
</context>
<context>
    <name>ZEP Error Parameter</name>
    <message>
        <source>an `OTD script&apos;</source>
        <translation>d&apos;un `script OTD&apos;</translation>
    </message>
    <message>
        <source>an `OTC script&apos;</source>
        <translation>d&apos;un `script OTC&apos;</translation>
    </message>
    <message>
        <source>a `STUB&apos;</source>
        <extracomment>STUB is a keyword; do not translate</extracomment>
        <translation>d&apos;un `STUB&apos;</translation>
    </message>
    <message>
        <source>a `TEST CLASS&apos;</source>
        <extracomment>TEST CLASS is keyword, do not translate</extracomment>
        <translation>d&apos;une `TEST CLASS&apos;</translation>
    </message>
    <message>
        <source>a `TEST SUITE&apos;</source>
        <extracomment>TEST SUITE is keyword please do not translate</extracomment>
        <translation>d&apos;une `TEST SUITE&apos;</translation>
    </message>
    <message>
        <source>a `TEST CASE&apos;</source>
        <extracomment>TEST CASE is keyword please do not translate</extracomment>
        <translation>d&apos;un `TEST CASE&apos;</translation>
    </message>
    <message>
        <source>a `PROC&apos;</source>
        <extracomment>PROC is a keyword; do not translate</extracomment>
        <translation>d&apos;une `PROC&apos;</translation>
    </message>
    <message>
        <source>(actual parameters list)</source>
        <translation>(liste des paramètres effectifs)</translation>
    </message>
    <message>
        <source>( Exception Signature )</source>
        <translation>( Signature de l&apos;exception )</translation>
    </message>
    <message>
        <source>a `CHECK EXCEPTION&apos;</source>
        <extracomment>CHECK EXCEPTION is keyword; do not translate</extracomment>
        <translation>d&apos;un `CHECK EXCEPTION&apos;</translation>
    </message>
    <message>
        <source>a `CHECK STUB&apos;</source>
        <extracomment>CHECKSTUB is keyword; do not translate</extracomment>
        <translation>d&apos;un `CHECK STUB&apos;</translation>
    </message>
    <message>
        <source>an `ON ERROR&apos;</source>
        <extracomment>ON ERROR is a keyword; do not translate</extracomment>
        <translation>d&apos;un `ON ERROR&apos;</translation>
    </message>
    <message>
        <source>a `PROLOGUE&apos;</source>
        <extracomment>PROLOGUE is keyword; do not translate</extracomment>
        <translation>d&apos;un `PROLOGUE&apos;</translation>
    </message>
    <message>
        <source>an `EPILOGUE&apos;</source>
        <extracomment>EPILOGUE is keyword; do not translate</extracomment>
        <translation>d&apos;un `EPILOGUE&apos;</translation>
    </message>
    <message>
        <source>a `RUN&apos;</source>
        <extracomment>RUN is a keyword; do not translate</extracomment>
        <translation>d&apos;un `RUN&apos;</translation>
    </message>
    <message>
        <source>a `PROPERTY&apos;</source>
        <extracomment>PROPERTY is a keyword ; do not translate</extracomment>
        <translation>d&apos;une `PROPERTY&apos;</translation>
    </message>
    <message>
        <source>a `CLASS&apos;</source>
        <extracomment>CLASS is a keyword; do not translate</extracomment>
        <translation>d&apos;une `CLASS&apos;</translation>
    </message>
    <message>
        <source>a `UML STATE&apos;</source>
        <extracomment>UML STATE is a keyword; do not translate</extracomment>
        <translation>d&apos;un `UML STATE&apos;</translation>
    </message>
    <message>
        <source>checking</source>
        <translation>la vérification</translation>
    </message>
    <message>
        <source>checking of</source>
        <translation>la vérification de</translation>
    </message>
    <message>
        <source>inheritance of</source>
        <translation>l&apos;héritage de</translation>
    </message>
    <message>
        <source>calling of</source>
        <translation>l&apos;appel de</translation>
    </message>
    <message>
        <source>transition from</source>
        <translation>la transition depuis</translation>
    </message>
    <message>
        <source>transition to</source>
        <translation>la transition vers</translation>
    </message>
</context>
<context>
    <name>ZEP Prepro Usage</name>
    <message>
        <source>
Usage : %1 &lt;SourceFiles&gt;
                  -G &lt;GeneratedCode&gt;
                  -O &lt;GeneratedFile&gt;
                  -OTI &lt;InstrumentationFile&gt;
                  -TDF &lt;DynamicFile&gt;
                  [-E &lt;NumberOfErrors&gt;]
                  [-NODLINE]
                  [-NOPATH]
                  [-BENCH_LOG &lt;BenchLogFile&gt;]

  &lt;SourceFiles&gt;         : OTD or OTC source files (.otd, .stb, .dcl or .otc).
  &lt;GeneratedCode&gt;       : C++.
  &lt;GeneratedFile&gt;       : Name of the generated source file (.cc).
  &lt;InstrumentationFile&gt; : Name of the instrumentation file (.oti).
  &lt;DynamicFile&gt;         : Name of the dynamic file (.tdf).
  &lt;NumberOfErrors&gt;      : Maximum number of errors allowed.
  &lt;BenchLogFile&gt;       : Name of the Bench log file (.log).

</source>
        <extracomment>Do not translate option (ie -NOPATH) nor file extension (ie .otc .cc); %1 is the product name</extracomment>
        <translation>
Usage : %1 &lt;FichiersSource&gt;
                  -G &lt;CodeGénéré&gt;
                  -O &lt;FichierGénéré&gt;
                  -OTI &lt;FichierInstrumentation&gt;
                  -TDF &lt;FichierDynamique&gt;
                  [-E &lt;NombreErreurs&gt;]
                  [-NODLINE]
                  [-NOPATH]
                  [-BENCH_LOG &lt;FichierJournalBench&gt;]

  &lt;FichiersSource&gt;         : Fichiers source OTD ou OTC (.otd, .stb, .dcl ou .otc).
  &lt;CodeGénéré&gt;             : C++.
  &lt;FichierGénéré&gt;          : Nom du fichier source généré (.cc).
  &lt;FichierInstrumentation&gt; : Nom du fichier d&apos;instrumentation (.oti).
  &lt;FichierDynamique&gt;       : Nom du fichier dynamique (.tdf).
  &lt;NombreErreurs&gt;          : Nombre maximal d&apos;erreurs autorisé.
  &lt;FichierJournalBench&gt;    : Nom du fichier journal du Bench (.log).

</translation>
    </message>
</context>
</TS>
