<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="de_DE" sourcelanguage="en_US">
<context>
    <name>KORVA</name>
    <message>
        <source>&amp;File</source>
        <translation>&amp;Datei</translation>
    </message>
    <message>
        <source>&amp;Edit</source>
        <translation>&amp;Bearbeiten</translation>
    </message>
    <message>
        <source>&amp;View</source>
        <translation>&amp;Ansicht</translation>
    </message>
    <message>
        <source>&amp;Database</source>
        <translation>Daten&amp;bank</translation>
    </message>
    <message>
        <source>&amp;Options</source>
        <translation>&amp;Optionen</translation>
    </message>
    <message>
        <source>&amp;Help</source>
        <translation>&amp;Hilfe</translation>
    </message>
    <message>
        <source>Find Object ID</source>
        <translation>Objekt-ID suchen</translation>
    </message>
    <message>
        <source>Find value in current DB tables</source>
        <translation>Wert in den Tabellen der aktuellen Datenbank suchen</translation>
    </message>
    <message>
        <source>Attach to remote Orvex server</source>
        <translation>Mit entferntem Orvex-Server verbinden</translation>
    </message>
    <message>
        <source>Export entire grid data to CSV file</source>
        <translation>Gesamte Tabellendaten in CSV-Datei exportieren</translation>
    </message>
    <message>
        <source>Export visible rows to CSV file </source>
        <translation>Sichtbare Zeilen in CSV-Datei exportieren</translation>
    </message>
    <message>
        <source>Export visible rows to CSV file</source>
        <translation>Sichtbare Zeilen in CSV-Datei exportieren</translation>
    </message>
    <message>
        <source>Export only visible rows to CSV file</source>
        <translation>Nur sichtbare Zeilen in CSV-Datei exportieren</translation>
    </message>
    <message>
        <source>Exit</source>
        <translation>Beenden</translation>
    </message>
    <message>
        <source>E&amp;xit</source>
        <translation>&amp;Beenden</translation>
    </message>
    <message>
        <source>Stored Procedures</source>
        <translation>Gespeicherte Prozeduren</translation>
    </message>
    <message>
        <source>Query Builder</source>
        <translation>Abfrage-Editor</translation>
    </message>
    <message>
        <source>Orvex Registry Tree</source>
        <translation>Orvex-Registrierungsbaum</translation>
    </message>
    <message>
        <source>Orvex Configuration Tree</source>
        <translation>Orvex-Konfigurationsbaum</translation>
    </message>
    <message>
        <source>Object View</source>
        <translation>Objektansicht</translation>
    </message>
    <message>
        <source>Refresh</source>
        <translation>Aktualisieren</translation>
    </message>
    <message>
        <source>Use Tables</source>
        <translation>Tabellen verwenden</translation>
    </message>
    <message>
        <source>Use Views</source>
        <translation>Sichten verwenden</translation>
    </message>
    <message>
        <source>Lock alias column to left</source>
        <translation>Alias-Spalte links fixieren</translation>
    </message>
    <message>
        <source>Lock unique ID column to left</source>
        <translation>Eindeutige ID-Spalte links fixieren</translation>
    </message>
    <message>
        <source>Show ObjectID data in tooltip text</source>
        <translation>ObjectID-Daten im Tooltip anzeigen</translation>
    </message>
    <message>
        <source>Show WHERE clause option</source>
        <translation>WHERE-Klausel-Option anzeigen</translation>
    </message>
    <message>
        <source>Always on top</source>
        <translation>Immer im Vordergrund</translation>
    </message>
    <message>
        <source>Dump Tables</source>
        <translation>Tabellen ausgeben</translation>
    </message>
    <message>
        <source>Help</source>
        <translation>Hilfe</translation>
    </message>
    <message>
        <source>About</source>
        <translation>Info</translation>
    </message>
    <message>
        <source>Check for updated version</source>
        <translation>Nach neuerer Version suchen</translation>
    </message>
    <message>
        <source>Copy</source>
        <translation>Kopieren</translation>
    </message>
    <message>
        <source>Find in grid</source>
        <translation>Im Raster suchen</translation>
    </message>
    <message>
        <source>Filter row</source>
        <translation>Filterzeile</translation>
    </message>
    <message>
        <source>Copy selection as CSV</source>
        <translation>Auswahl als CSV kopieren</translation>
    </message>
    <message>
        <source>%1 of %2 rows</source>
        <translation>%1 von %2 Zeilen</translation>
    </message>
    <message>
        <source>Filter</source>
        <translation>Filter</translation>
    </message>
    <message>
        <source>Waiting for rows</source>
        <translation>Warte auf die Zeilen</translation>
    </message>
    <message>
        <source>No matches</source>
        <translation>Keine Treffer</translation>
    </message>
    <message>
        <source>1 match</source>
        <translation>1 Treffer</translation>
    </message>
    <message>
        <source>%1 matches</source>
        <translation>%1 Treffer</translation>
    </message>
    <message>
        <source>%1 of %2</source>
        <translation>%1 von %2</translation>
    </message>
    <message>
        <source>Previous match (Shift+F3)</source>
        <translation>Vorheriger Treffer (Umschalt+F3)</translation>
    </message>
    <message>
        <source>Next match (F3)</source>
        <translation>Nächster Treffer (F3)</translation>
    </message>
    <message>
        <source>Cut</source>
        <translation>Ausschneiden</translation>
    </message>
    <message>
        <source>Paste</source>
        <translation>Einfügen</translation>
    </message>
    <message>
        <source>Clear All</source>
        <translation>Alles löschen</translation>
    </message>
    <message>
        <source>Jump to this object</source>
        <translation>Zu diesem Objekt springen</translation>
    </message>
    <message>
        <source>Table Info</source>
        <translation>Tabelleninfo</translation>
    </message>
    <message>
        <source>Column Info</source>
        <translation>Spalteninfo</translation>
    </message>
    <message>
        <source>WHERE filter</source>
        <translation>WHERE-Filter</translation>
    </message>
    <message>
        <source>WHERE:</source>
        <translation>WHERE:</translation>
    </message>
    <message>
        <source>Make WHERE clause for this table "sticky"</source>
        <translation>WHERE-Klausel für diese Tabelle „dauerhaft“ machen</translation>
    </message>
    <message>
        <source>Apply</source>
        <translation>Anwenden</translation>
    </message>
    <message>
        <source>Clear</source>
        <translation>Leeren</translation>
    </message>
    <message>
        <source>&lt;&lt; Back</source>
        <translation>&lt; Zurück</translation>
    </message>
    <message>
        <source>Rows in table:</source>
        <translation>Zeilen:</translation>
    </message>
    <message>
        <source>KORVA - Object View</source>
        <translation>KORVA - Objektansicht</translation>
    </message>
    <message>
        <source>Object type:</source>
        <translation>Objekttyp:</translation>
    </message>
    <message>
        <source>Reference tables:</source>
        <translation>Referenztabellen:</translation>
    </message>
    <message>
        <source>&amp;Execute</source>
        <translation>&amp;Ausführen</translation>
    </message>
    <message>
        <source>Stop</source>
        <translation>Anhalten</translation>
    </message>
    <message>
        <source>Stops the running query (Esc)</source>
        <translation>Hält die laufende Abfrage an (Esc)</translation>
    </message>
    <message>
        <source>Execute</source>
        <translation>Ausführen</translation>
    </message>
    <message>
        <source>Query Histroy</source>
        <translation>Abfrageverlauf</translation>
    </message>
    <message>
        <source>&amp;Query</source>
        <translation>Ab&amp;frage</translation>
    </message>
    <message>
        <source>Clear Results When a Query Fails</source>
        <translation>Ergebnisse leeren, wenn eine Abfrage fehlschlägt</translation>
    </message>
    <message>
        <source>Runs the query (F5, Ctrl+Enter)</source>
        <translation>Führt die Abfrage aus (F5, Strg+Eingabe)</translation>
    </message>
    <message>
        <source>Rows: %1</source>
        <translation>Zeilen: %1</translation>
    </message>
    <message>
        <source>Rows: %1 (loading)</source>
        <translation>Zeilen: %1 (wird geladen)</translation>
    </message>
    <message>
        <source>Rows: none</source>
        <translation>Zeilen: keine</translation>
    </message>
    <message>
        <source>Query failed</source>
        <translation>Abfrage fehlgeschlagen</translation>
    </message>
    <message>
        <source>Query stopped</source>
        <translation>Abfrage angehalten</translation>
    </message>
    <message>
        <source>Records affected: %1</source>
        <translation>Betroffene Datensätze: %1</translation>
    </message>
    <message>
        <source>Time: %1</source>
        <translation>Dauer: %1</translation>
    </message>
    <message>
        <source>Ran %1</source>
        <translation>Ausgeführt %1</translation>
    </message>
    <message>
        <source>Saved %1</source>
        <translation>Gespeichert %1</translation>
    </message>
    <message>
        <source>Database: %1</source>
        <translation>Datenbank: %1</translation>
    </message>
    <message>
        <source>Transact SQL Reference</source>
        <translation>Transact-SQL-Referenz</translation>
    </message>
    <message>
        <source>Orvex Registry Explorer</source>
        <translation>Orvex-Registrierungs-Explorer</translation>
    </message>
    <message>
        <source>Orvex Configuration Data Explorer</source>
        <translation>Orvex-Konfigurationsdaten-Explorer</translation>
    </message>
    <message>
        <source>Expand all nodes</source>
        <translation>Alle Knoten erweitern</translation>
    </message>
    <message>
        <source>Collapse all nodes</source>
        <translation>Alle Knoten reduzieren</translation>
    </message>
    <message>
        <source>Open registry export file...</source>
        <translation>Registrierungsexport öffnen...</translation>
    </message>
    <message>
        <source>Copy full key path to clipboard</source>
        <translation>Vollständigen Schlüsselpfad kopieren</translation>
    </message>
    <message>
        <source>Copy value to clipboard</source>
        <translation>Wert in die Zwischenablage kopieren</translation>
    </message>
    <message>
        <source>Connect To Remote Orvex Server</source>
        <translation>Mit entferntem Orvex-Server verbinden</translation>
    </message>
    <message>
        <source>Domain:</source>
        <translation>Domäne:</translation>
    </message>
    <message>
        <source>Find &amp;Servers</source>
        <translation>&amp;Server suchen</translation>
    </message>
    <message>
        <source>Servers in domain running SQL:</source>
        <translation>Server der Domäne mit SQL:</translation>
    </message>
    <message>
        <source>Server:</source>
        <translation>Server:</translation>
    </message>
    <message>
        <source>&amp;Connect</source>
        <translation>&amp;Verbinden</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>Abbrechen</translation>
    </message>
    <message>
        <source>SQL Server login</source>
        <translation>SQL-Server-Anmeldung</translation>
    </message>
    <message>
        <source>&amp;User name:</source>
        <translation>&amp;Benutzername:</translation>
    </message>
    <message>
        <source>&amp;Password:</source>
        <translation>&amp;Kennwort:</translation>
    </message>
    <message>
        <source>Search across tables</source>
        <translation>Tabellenübergreifend suchen</translation>
    </message>
    <message>
        <source>Search string:</source>
        <translation>Suchtext:</translation>
    </message>
    <message>
        <source>Search for partial string matches</source>
        <translation>Auch nach Teilübereinstimmungen suchen</translation>
    </message>
    <message>
        <source>&amp;Search</source>
        <translation>&amp;Suchen</translation>
    </message>
    <message>
        <source>Find next match?</source>
        <translation>Nächsten Treffer suchen?</translation>
    </message>
    <message>
        <source>&amp;Yes</source>
        <translation>&amp;Ja</translation>
    </message>
    <message>
        <source>&amp;No</source>
        <translation>&amp;Nein</translation>
    </message>
    <message>
        <source>Find &amp;all</source>
        <translation>&amp;Alle finden</translation>
    </message>
    <message>
        <source>Find all matches</source>
        <translation>Alle Treffer finden</translation>
    </message>
    <message>
        <source>Table</source>
        <translation>Tabelle</translation>
    </message>
    <message>
        <source>Column</source>
        <translation>Spalte</translation>
    </message>
    <message>
        <source>Key</source>
        <translation>Schlüssel</translation>
    </message>
    <message>
        <source>Row %1</source>
        <translation>Zeile %1</translation>
    </message>
    <message>
        <source>Matches</source>
        <translation>Treffer</translation>
    </message>
    <message>
        <source>Tables searched</source>
        <translation>Durchsuchte Tabellen</translation>
    </message>
    <message>
        <source>%v of %m tables</source>
        <translation>%v von %m Tabellen</translation>
    </message>
    <message>
        <source>Searching %1 ... Matches so far: %2.</source>
        <translation>Durchsuche %1 ... Bisherige Treffer: %2.</translation>
    </message>
    <message>
        <source>Matches: %1. Tables searched: %2 of %3.</source>
        <translation>Treffer: %1. Durchsuchte Tabellen: %2 von %3.</translation>
    </message>
    <message>
        <source>Search stopped. Matches: %1. Tables searched: %2 of %3.</source>
        <translation>Suche abgebrochen. Treffer: %1. Durchsuchte Tabellen: %2 von %3.</translation>
    </message>
    <message>
        <source>The list stops at its first %1 matches. Tables searched: %2 of %3.</source>
        <translation>Die Liste endet nach den ersten %1 Treffern. Durchsuchte Tabellen: %2 von %3.</translation>
    </message>
    <message>
        <source>These matches are from another database. Search again.</source>
        <translation>Diese Treffer stammen aus einer anderen Datenbank. Bitte erneut suchen.</translation>
    </message>
    <message>
        <source>OK</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>&amp;Close</source>
        <translation>&amp;Schließen</translation>
    </message>
    <message>
        <source>Version:</source>
        <translation>Version:</translation>
    </message>
    <message>
        <source>Change Language</source>
        <translation>Sprache ändern</translation>
    </message>
    <message>
        <source>Select Language</source>
        <translation>Sprache auswählen</translation>
    </message>
    <message>
        <source>no languages loaded</source>
        <translation>keine Sprachen geladen</translation>
    </message>
    <message>
        <source>Talmu diagnostic browser for the voice-messaging databases</source>
        <translation>Talmu, Diagnose-Browser für die Datenbanken des Voice-Messaging-Servers</translation>
    </message>
    <message>
        <source>This tool is provided as is, without warranty of any kind.</source>
        <translation>Dieses Werkzeug wird ohne Mängelgewähr und ohne jede Garantie bereitgestellt.</translation>
    </message>
    <message>
        <source>Loading database information, please wait...</source>
        <translation>Datenbankinformationen werden geladen, bitte warten...</translation>
    </message>
    <message>
        <source>OrvexDirDB</source>
        <translation>OrvexDirDB</translation>
    </message>
    <message>
        <source>OrvexRptDb</source>
        <translation>OrvexRptDb</translation>
    </message>
    <message>
        <source>OrvexDynDB</source>
        <translation>OrvexDynDB</translation>
    </message>
    <message>
        <source>OrvexMbxDb1</source>
        <translation>OrvexMbxDb1</translation>
    </message>
    <message>
        <source>Zandel Orvex Talmu</source>
        <translation>Zandel Orvex Talmu</translation>
    </message>
    <message>
        <source>Zandel Orvex</source>
        <translation>Zandel Orvex</translation>
    </message>
    <message>
        <source>Orvex Stored Procedures</source>
        <translation>Orvex – Gespeicherte Prozeduren</translation>
    </message>
    <message>
        <source> Stored Proc Info</source>
        <translation> Prozedurinfo</translation>
    </message>
    <message>
        <source>Parameter Info</source>
        <translation>Parameterinfo</translation>
    </message>
    <message>
        <source>&amp;View Source</source>
        <translation>&amp;Quelltext anzeigen</translation>
    </message>
    <message>
        <source>Parameters</source>
        <translation>Parameter</translation>
    </message>
    <message>
        <source>Execute Stored Procedure</source>
        <translation>Gespeicherte Prozedur ausführen</translation>
    </message>
    <message>
        <source>Source</source>
        <translation>Quelltext</translation>
    </message>
    <message>
        <source>Table Name</source>
        <translation>Tabellenname</translation>
    </message>
    <message>
        <source>Column Name</source>
        <translation>Spaltenname</translation>
    </message>
    <message>
        <source>Name</source>
        <translation>Name</translation>
    </message>
    <message>
        <source>Type</source>
        <translation>Typ</translation>
    </message>
    <message>
        <source>Length</source>
        <translation>Länge</translation>
    </message>
    <message>
        <source>Output</source>
        <translation>Ausgabe</translation>
    </message>
    <message>
        <source>Value</source>
        <translation>Wert</translation>
    </message>
    <message>
        <source>Position</source>
        <translation>Position</translation>
    </message>
    <message>
        <source>No previous queries stored</source>
        <translation>Keine früheren Abfragen gespeichert</translation>
    </message>
    <message>
        <source>Use a server&apos;s files...</source>
        <translation>Dateien eines Servers verwenden...</translation>
    </message>
    <message>
        <source>Recent servers</source>
        <translation>Zuletzt verwendete Server</translation>
    </message>
    <message>
        <source>Use a server&apos;s files</source>
        <translation>Dateien eines Servers verwenden</translation>
    </message>
    <message>
        <source>&amp;Registry export:</source>
        <translation>&amp;Registrierungsexport:</translation>
    </message>
    <message>
        <source>&amp;Data dictionary folder:</source>
        <translation>Ordner der &amp;Datenwörterbücher:</translation>
    </message>
    <message>
        <source>&amp;SQL Server:</source>
        <translation>&amp;SQL Server:</translation>
    </message>
    <message>
        <source>Browse...</source>
        <translation>Durchsuchen...</translation>
    </message>
    <message>
        <source>&amp;Open</source>
        <translation>Ö&amp;ffnen</translation>
    </message>
    <message>
        <source>KORVA runs on a server&apos;s files as on an installation of its own: a registry export taken on the server (regedit, File, Export, of HKEY_LOCAL_MACHINE\SOFTWARE or at least the product&apos;s keys) and its data dictionaries, copied from ConfigurationModules\DatabaseScripts in its install folder. Its SQL Server is reached over the network. The files are copied to the folder below; the ones you choose are not changed.</source>
        <translation>KORVA arbeitet mit den Dateien eines Servers wie mit einer eigenen Installation: einem auf dem Server erstellten Registrierungsexport (regedit, Datei, Exportieren, von HKEY_LOCAL_MACHINE\SOFTWARE oder wenigstens den Schlüsseln des Produkts) und seinen Datenwörterbüchern, kopiert aus ConfigurationModules\DatabaseScripts in seinem Installationsordner. Sein SQL Server wird über das Netzwerk erreicht. Die Dateien werden in den Ordner unten kopiert; die gewählten bleiben unverändert.</translation>
    </message>
    <message>
        <source>Records affected:</source>
        <translation>Betroffene Datensätze:</translation>
    </message>
    <message>
        <source>Return value:</source>
        <translation>Rückgabewert:</translation>
    </message>
    <message>
        <source>none reported</source>
        <translation>keine gemeldet</translation>
    </message>
    <message>
        <source>Result set</source>
        <translation>Ergebnismenge</translation>
    </message>
    <message>
        <source>The stored procedure %1 changes data.

Run it on server %2, database %3?</source>
        <translation>Die gespeicherte Prozedur %1 ändert Daten.

Auf Server %2, Datenbank %3 ausführen?</translation>
    </message>
</context>
</TS>
