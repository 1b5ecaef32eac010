<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en" sourcelanguage="de">
<context>
    <name>ChannelDialog</name>
    <message>
        <source>Kanäle</source>
        <translation>Channels</translation>
    </message>
    <message>
        <source>Vom Gerät</source>
        <translation>From device</translation>
    </message>
    <message>
        <source>Name</source>
        <translation>Name</translation>
    </message>
    <message>
        <source>Einheit</source>
        <translation>Unit</translation>
    </message>
    <message>
        <source>Skalierungsfaktor</source>
        <translation>Scale factor</translation>
    </message>
    <message>
        <source>Offset</source>
        <translation>Offset</translation>
    </message>
    <message>
        <source>Farbe</source>
        <translation>Colour</translation>
    </message>
    <message>
        <source>Anzeigen</source>
        <translation>Show</translation>
    </message>
    <message>
        <source>Achse</source>
        <translation>Axis</translation>
    </message>
    <message>
        <source>Kanal %1</source>
        <translation>Channel %1</translation>
    </message>
    <message>
        <source>Leer: der Name vom Gerät</source>
        <translation>Empty: the device&apos;s name</translation>
    </message>
    <message>
        <source>Leer: wie Kanal 1</source>
        <translation>Empty: as channel 1</translation>
    </message>
    <message>
        <source>Ganze Zahl</source>
        <translation>Whole number</translation>
    </message>
    <message>
        <source>Farbe von Kanal %1</source>
        <translation>Colour of channel %1</translation>
    </message>
    <message>
        <source>Links</source>
        <translation>Left</translation>
    </message>
    <message>
        <source>Rechts</source>
        <translation>Right</translation>
    </message>
    <message>
        <source>Eigene Spur</source>
        <translation>Own lane</translation>
    </message>
    <message>
        <source>alle</source>
        <translation>all</translation>
    </message>
    <message>
        <source> Punkte</source>
        <translation> points</translation>
    </message>
    <message>
        <source>Mit &quot;X: Kanal N&quot; die letzten</source>
        <translation>With &quot;X: Channel N&quot; the last</translation>
    </message>
</context>
<context>
    <name>ForwardDialog</name>
    <message>
        <source>Weiterleiten</source>
        <translation>Forward</translation>
    </message>
    <message>
        <source>Jeder Messwert der nächsten Erfassungen geht an diese Ziele, aus dem Journal, so dass nichts verloren geht:</source>
        <translation>Every sample of the next acquisitions goes to these targets, from the journal, so nothing is lost:</translation>
    </message>
    <message>
        <source>mqtt://broker/labor/platz1 oder influx+http://db:8086/labor</source>
        <translation>mqtt://broker/lab/rig1 or influx+http://db:8086/lab</translation>
    </message>
    <message>
        <source>Hinzufügen</source>
        <translation>Add</translation>
    </message>
    <message>
        <source>Gerätename für die Datenbank:</source>
        <translation>Device name for the database:</translation>
    </message>
    <message>
        <source>Ein Ziel ist eine URL mqtt://, mqtts://, influx+http://, influx+https:// oder influx+udp://</source>
        <translation>A target is an mqtt://, mqtts://, influx+http://, influx+https:// or influx+udp:// URL</translation>
    </message>
</context>
<context>
    <name>Messages</name>
    <message>
        <source>&apos;%1&apos; ist kein gültiger Gleitkommawert</source>
        <translation>&apos;%1&apos; is not a valid floating point value</translation>
    </message>
    <message>
        <source>&apos;%1&apos; ist kein gültiger Integerwert</source>
        <translation>&apos;%1&apos; is not a valid integer value</translation>
    </message>
    <message>
        <source>Das Journal der Erfassung kann nicht angelegt werden: &quot;%1&quot;: %2. Die Erfassung läuft im Speicher weiter und ist nicht gegen Absturz gesichert.</source>
        <translation>The acquisition&apos;s journal cannot be made: &quot;%1&quot;: %2. The acquisition goes on in memory and is not safe from a crash.</translation>
    </message>
    <message>
        <source>Das Journal der Erfassung kann nicht geschrieben werden: &quot;%1&quot;: %2. Die Erfassung läuft im Speicher weiter und ist nicht gegen Absturz gesichert.</source>
        <translation>The acquisition&apos;s journal cannot be written: &quot;%1&quot;: %2. The acquisition goes on in memory and is not safe from a crash.</translation>
    </message>
    <message>
        <source>%1 gehört der Gruppe %2: `sudo usermod -aG %2 $USER`, dann neu anmelden</source>
        <translation>%1 belongs to the group %2: `sudo usermod -aG %2 $USER`, then log in again</translation>
    </message>
    <message>
        <source>%1: keine Verbindung zu %2: %3</source>
        <translation>%1: no connection to %2: %3</translation>
    </message>
    <message>
        <source>%1: keine Antwort von %2 in %3 s</source>
        <translation>%1: no answer from %2 in %3 s</translation>
    </message>
    <message>
        <source>%1: %2 getrennt: %3</source>
        <translation>%1: %2 disconnected: %3</translation>
    </message>
    <message>
        <source>%1: &quot;%2&quot; ist keine Adresse dieses Rechners (%3)</source>
        <translation>%1: &quot;%2&quot; is no address of this machine (%3)</translation>
    </message>
    <message>
        <source>%1: %2 kann nicht geöffnet werden: %3</source>
        <translation>%1: %2 cannot be opened: %3</translation>
    </message>
    <message>
        <source>%1: %2 Datagramme an %3 verworfen, bevor sie gelesen werden konnten (der Empfang kam nicht nach)</source>
        <translation>%1: %2 datagrams to %3 dropped before they could be read (the receiver could not keep up)</translation>
    </message>
    <message>
        <source>%1: mehr als %2 Themen mit je einem Wert; weitere wie %3 werden nicht aufgezeichnet</source>
        <translation>%1: more than %2 topics of one value each; further ones such as %3 are not recorded</translation>
    </message>
</context>
<context>
    <name>SingleInstance</name>
    <message>
        <source> (Prozess %1%2)</source>
        <translation> (process %1%2)</translation>
    </message>
    <message>
        <source>, angehalten</source>
        <translation>, stopped</translation>
    </message>
    <message>
        <source>Ein laufendes Mevrant%1 antwortet nicht; dieses Fenster läuft trotzdem.</source>
        <translation>A running Mevrant%1 does not answer; this window runs all the same.</translation>
    </message>
</context>
<context>
    <name>SourceDialog</name>
    <message>
        <source>Die nächsten Erfassungen lesen diese Quellen zusammen; die Kanäle jeder Quelle heißen Quelle/Kanal. Ein Empfänger lauscht auf 127.0.0.1, wenn keine Adresse genannt ist:</source>
        <translation>The next acquisitions read these sources together; each source&apos;s channels are named source/channel. A listener listens on 127.0.0.1 unless an address is named:</translation>
    </message>
    <message>
        <source>udp://:5000, tcp://bruecke:23 oder mqtt://broker/labor/#</source>
        <translation>udp://:5000, tcp://bridge:23 or mqtt://broker/lab/#</translation>
    </message>
    <message>
        <source>Quelle hinzufügen</source>
        <translation>Add source</translation>
    </message>
    <message>
        <source>1: Schnittstelle %1</source>
        <translation>1: serial port %1</translation>
    </message>
    <message>
        <source>Quellen</source>
        <translation>Sources</translation>
    </message>
    <message>
        <source>Eine Quelle neben der Schnittstelle ist eine URL udp://, tcp://, mqtt:// oder mqtts://</source>
        <translation>A source beside the serial port is a udp://, tcp://, mqtt:// or mqtts:// URL</translation>
    </message>
</context>
<context>
    <name>StatsText</name>
    <message>
        <source>Min %1%4Max %2%4Mittel %3</source>
        <translation>Min %1%4Max %2%4Mean %3</translation>
    </message>
</context>
<context>
    <name>TChannelLegend</name>
    <message>
        <source>Klick: Kanal zeigen oder verbergen</source>
        <translation>Click: show or hide the channel</translation>
    </message>
</context>
<context>
    <name>TForm1</name>
    <message>
        <source>Datei</source>
        <translation>File</translation>
    </message>
    <message>
        <source>Grafik speichern als Bitmap (.bmp)</source>
        <translation>Save graph as bitmap (.bmp)</translation>
    </message>
    <message>
        <source>Grafik speichern als PNG (.png)</source>
        <translation>Save graph as PNG (.png)</translation>
    </message>
    <message>
        <source>Daten exportieren als CSV (.csv)</source>
        <translation>Export data as CSV (.csv)</translation>
    </message>
    <message>
        <source>Erfassung speichern</source>
        <translation>Save acquisition</translation>
    </message>
    <message>
        <source>Erfassung laden</source>
        <translation>Load acquisition</translation>
    </message>
    <message>
        <source>Letzte Erfassungen</source>
        <translation>Recent acquisitions</translation>
    </message>
    <message>
        <source>Beenden</source>
        <translation>Quit</translation>
    </message>
    <message>
        <source>Kanäle …</source>
        <translation>Channels …</translation>
    </message>
    <message>
        <source>Senden</source>
        <translation>Send</translation>
    </message>
    <message>
        <source>Weiterleiten …</source>
        <translation>Forward …</translation>
    </message>
    <message>
        <source>Marke setzen</source>
        <translation>Set mark</translation>
    </message>
    <message>
        <source>Info</source>
        <translation>About</translation>
    </message>
    <message>
        <source> Start</source>
        <translation> Start</translation>
    </message>
    <message>
        <source> Stop</source>
        <translation> Stop</translation>
    </message>
    <message>
        <source> Clear Graph</source>
        <translation> Clear Graph</translation>
    </message>
    <message>
        <source>Reset Axis</source>
        <translation>Reset Axis</translation>
    </message>
    <message>
        <source>Aktiv</source>
        <translation>Active</translation>
    </message>
    <message>
        <source>Mitlaufen</source>
        <translation>Follow</translation>
    </message>
    <message>
        <source>Y auto</source>
        <translation>Y auto</translation>
    </message>
    <message>
        <source>  Schnittstelle  </source>
        <translation>  Serial port  </translation>
    </message>
    <message>
        <source>Schnittstelle</source>
        <translation>Port</translation>
    </message>
    <message>
        <source> Baudrate</source>
        <translation> Baud rate</translation>
    </message>
    <message>
        <source>Databits = 8</source>
        <translation>Databits = 8</translation>
    </message>
    <message>
        <source>Stopbits = 1</source>
        <translation>Stopbits = 1</translation>
    </message>
    <message>
        <source>Flowcontrol = none</source>
        <translation>Flowcontrol = none</translation>
    </message>
    <message>
        <source>  Graph Parameter </source>
        <translation>  Graph parameters </translation>
    </message>
    <message>
        <source>Roh-Daten Skalierungsfaktor</source>
        <translation>Raw data scale factor</translation>
    </message>
    <message>
        <source>Daten Offset (nach Skalierung)</source>
        <translation>Data offset (after scaling)</translation>
    </message>
    <message>
        <source>Graph X max</source>
        <translation>Graph X max</translation>
    </message>
    <message>
        <source>Graph Y max</source>
        <translation>Graph Y max</translation>
    </message>
    <message>
        <source>Graph Y min</source>
        <translation>Graph Y min</translation>
    </message>
    <message>
        <source>Dezimaltrennung als Komma eingeben</source>
        <translation>Type the decimal separator as a comma</translation>
    </message>
    <message>
        <source> Graphik Display mit Skalierung + Offset  </source>
        <translation> Graph display with scale + offset  </translation>
    </message>
    <message>
        <source> Show Grid</source>
        <translation> Show Grid</translation>
    </message>
    <message>
        <source>DoubleTics</source>
        <translation>DoubleTics</translation>
    </message>
    <message>
        <source>Y  Log</source>
        <translation>Y  Log</translation>
    </message>
    <message>
        <source>Normal</source>
        <translation>Normal</translation>
    </message>
    <message>
        <source>Zoom</source>
        <translation>Zoom</translation>
    </message>
    <message>
        <source>X: Messwert-Nr.</source>
        <translation>X: Sample no.</translation>
    </message>
    <message>
        <source>X: Zeit (s)</source>
        <translation>X: Time (s)</translation>
    </message>
    <message>
        <source>X: Kanal %1</source>
        <translation>X: Channel %1</translation>
    </message>
    <message>
        <source>Rohdaten ...</source>
        <translation>Raw data ...</translation>
    </message>
    <message>
        <source>Text der Marke (darf leer bleiben):</source>
        <translation>Text of the mark (may stay empty):</translation>
    </message>
    <message>
        <source>Beim Start senden: </source>
        <translation>Send at start: </translation>
    </message>
    <message>
        <source>Gesichert in %1</source>
        <translation>Kept in %1</translation>
    </message>
    <message>
        <source>%1 Messwerte/s</source>
        <translation>%1 samples/s</translation>
    </message>
    <message>
        <source>Warte auf das Gerät … (%1 × getrennt)</source>
        <translation>Waiting for the device … (%1 × lost)</translation>
    </message>
    <message>
        <source>Warte auf das Gerät …</source>
        <translation>Waiting for the device …</translation>
    </message>
    <message>
        <source>Wieder verbunden (%1 × getrennt)</source>
        <translation>Connected again (%1 × lost)</translation>
    </message>
    <message>
        <source>Mehr als %1 Werte in einer Zeile: die weiteren werden nicht gezeigt</source>
        <translation>More than %1 values in a line: the others are not shown</translation>
    </message>
    <message>
        <source>Die Datei %1 enthält keinen Messwert-Datensatz</source>
        <translation>The file %1 holds no sample record</translation>
    </message>
    <message>
        <source>Die Datei %1 endet in %2 Bytes, die kein ganzer Datensatz sind: sie sind nicht geladen</source>
        <translation>The file %1 ends in %2 bytes that are no whole record: they are not loaded</translation>
    </message>
    <message>
        <source>Senden geht erst nach Start: die Schnittstelle ist nicht offen.</source>
        <translation>Sending works only after Start: the port is not open.</translation>
    </message>
    <message>
        <source>Eine Marke gehört zu einer Erfassung: erst Start.</source>
        <translation>A mark belongs to an acquisition: Start first.</translation>
    </message>
    <message>
        <source>Gilt ab dem nächsten Start</source>
        <translation>Applies from the next Start</translation>
    </message>
    <message>
        <source>Die Ziele gelten ab dem nächsten Start</source>
        <translation>The targets apply from the next Start</translation>
    </message>
    <message>
        <source>Token für %1:</source>
        <translation>Token for %1:</translation>
    </message>
    <message>
        <source>Passwort für %1:</source>
        <translation>Password for %1:</translation>
    </message>
    <message>
        <source>Weiterleiten</source>
        <translation>Forward</translation>
    </message>
    <message>
        <source>Kein Schlüsselbund: das Passwort für %1 bleibt nur in dieser Sitzung im Speicher</source>
        <translation>No keyring: the password for %1 stays in memory for this session only</translation>
    </message>
    <message>
        <source>Ohne Passwort nicht weitergeleitet: %1</source>
        <translation>Not forwarded without a password: %1</translation>
    </message>
    <message>
        <source>%1: verbunden, %2 s zurück</source>
        <translation>%1: connected, %2 s behind</translation>
    </message>
    <message>
        <source>%1: getrennt, %2 Messwerte ausstehend</source>
        <translation>%1: disconnected, %2 samples pending</translation>
    </message>
    <message>
        <source> (beendete Erfassung)</source>
        <translation> (finished acquisition)</translation>
    </message>
    <message>
        <source>Die Erfassung vom %1 wurde nicht ordentlich beendet; %2 Messwerte sind gesichert.
Jetzt öffnen?</source>
        <translation>The acquisition of %1 did not end properly; %2 samples are kept.
Open it now?</translation>
    </message>
    <message>
        <source>Nicht beendete Erfassung: %1</source>
        <translation>Unfinished acquisition: %1</translation>
    </message>
    <message>
        <source>Geöffnet: %1</source>
        <translation>Opened: %1</translation>
    </message>
    <message>
        <source>Wenig Platz: %1 GB frei</source>
        <translation>Low on space: %1 GB free</translation>
    </message>
    <message>
        <source>Nicht gesichert</source>
        <translation>Not kept</translation>
    </message>
    <message>
        <source>(keine)</source>
        <translation>(none)</translation>
    </message>
    <message>
        <source>%1   läuft</source>
        <translation>%1   running</translation>
    </message>
    <message>
        <source>%1   %2 Messwerte   %3</source>
        <translation>%1   %2 samples   %3</translation>
    </message>
    <message>
        <source>gespeichert</source>
        <translation>saved</translation>
    </message>
    <message>
        <source>nicht gespeichert</source>
        <translation>not saved</translation>
    </message>
    <message>
        <source>Gespeicherte Einstellung nicht übernommen: %1</source>
        <translation>Remembered setting not taken: %1</translation>
    </message>
    <message>
        <source>Die geladene Datei wurde verkürzt, während sie gezeigt wurde: was ihr fehlt, wird leer gezeigt</source>
        <translation>The loaded file was cut short while it was shown: what it lacks is shown empty</translation>
    </message>
    <message>
        <source>Messwerte: %1</source>
        <translation>Samples: %1</translation>
    </message>
    <message>
        <source>Zeilen ohne Messwert: %1</source>
        <translation>Lines without a sample: %1</translation>
    </message>
    <message>
        <source>Im Bild: </source>
        <translation>In view: </translation>
    </message>
    <message>
        <source>Im Bild (%1): </source>
        <translation>In view (%1): </translation>
    </message>
    <message>
        <source>Im Bild: keine Messwerte</source>
        <translation>In view: no samples</translation>
    </message>
    <message>
        <source>Kanal %1</source>
        <translation>Channel %1</translation>
    </message>
    <message>
        <source>Quellen …</source>
        <translation>Sources …</translation>
    </message>
    <message>
        <source>Die Quellen gelten ab dem nächsten Start</source>
        <translation>The sources apply from the next Start</translation>
    </message>
    <message>
        <source>Ohne Passwort nicht gelesen: %1</source>
        <translation>Not read without a password: %1</translation>
    </message>
    <message>
        <source>%1: wartet auf %2 …</source>
        <translation>%1: waiting for %2 …</translation>
    </message>
    <message>
        <source>%1: lauscht auf %2</source>
        <translation>%1: listening on %2</translation>
    </message>
    <message>
        <source>%1: liest %2</source>
        <translation>%1: reading %2</translation>
    </message>
</context>
<context>
    <name>TFormInfo</name>
    <message>
        <source>Messwerte-Grafik für die serielle Schnittstelle</source>
        <translation>Graphs of readings from the serial port</translation>
    </message>
    <message>
        <source>Das Mevrant-Entwicklerteam</source>
        <translation>The Mevrant developers</translation>
    </message>
    <message>
        <source>Close</source>
        <translation>Close</translation>
    </message>
</context>
<context>
    <name>TRawPane</name>
    <message>
        <source>Kopieren</source>
        <translation>Copy</translation>
    </message>
    <message>
        <source>Alles markieren</source>
        <translation>Select all</translation>
    </message>
</context>
<context>
    <name>TSendBar</name>
    <message>
        <source>Befehl, z. B. MEAS? oder \x05</source>
        <translation>Command, e.g. MEAS? or \x05</translation>
    </message>
    <message>
        <source>Text mit \r, \n, \t, \\ und \xNN, oder mit &quot;Hex&quot; Bytes wie FF 01 A3; ↑ und ↓ holen frühere Befehle</source>
        <translation>Text with \r, \n, \t, \\ and \xNN, or with &quot;Hex&quot; bytes like FF 01 A3; ↑ and ↓ bring back earlier commands</translation>
    </message>
    <message>
        <source>Kein Zeilenende</source>
        <translation>No line end</translation>
    </message>
    <message>
        <source>Hex</source>
        <translation>Hex</translation>
    </message>
    <message>
        <source>Senden</source>
        <translation>Send</translation>
    </message>
    <message>
        <source>Senden:</source>
        <translation>Send:</translation>
    </message>
    <message>
        <source>Wiederholen alle</source>
        <translation>Repeat every</translation>
    </message>
    <message>
        <source>Marke setzen</source>
        <translation>Set mark</translation>
    </message>
    <message>
        <source>Strg+M: eine Marke mit Text an dieser Stelle der Erfassung</source>
        <translation>Ctrl+M: a mark with a text at this point of the acquisition</translation>
    </message>
    <message>
        <source>Wird einmal gesendet, sobald die Schnittstelle offen ist, vor jeder Abfrage</source>
        <translation>Sent once as soon as the port is open, before any query</translation>
    </message>
    <message>
        <source>Beim Start senden:</source>
        <translation>Send at start:</translation>
    </message>
</context>
<context>
    <name>UrlListDialog</name>
    <message>
        <source>Entfernen</source>
        <translation>Remove</translation>
    </message>
    <message>
        <source>%1 ist schon in der Liste</source>
        <translation>%1 is already in the list</translation>
    </message>
</context>
</TS>
