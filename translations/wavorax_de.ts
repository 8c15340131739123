<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="de_DE">
<context>
    <name>Application</name>
    <message>
        <location filename="../ui/main/Application.cpp" line="+58"/>
        <source>Failed to initialize the software (0x0002020).</source>
        <translation>Das Programm konnte nicht gestartet werden (0x0002020).</translation>
    </message>
</context>
<context>
    <name>Cli</name>
    <message>
        <location filename="../cli/CliOptions.cpp" line="+35"/>
        <location line="+342"/>
        <source> or </source>
        <translation> oder </translation>
    </message>
    <message>
        <location line="-318"/>
        <source>%1 holds at most %2 characters</source>
        <translation>%1 fasst höchstens %2 Zeichen</translation>
    </message>
    <message>
        <location line="+8"/>
        <source>%1 needs a number</source>
        <translation>%1 braucht eine Zahl</translation>
    </message>
    <message>
        <location line="+28"/>
        <source>unknown genre &quot;%1&quot;</source>
        <translation>unbekanntes Genre „%1“</translation>
    </message>
    <message>
        <location line="+3"/>
        <source>unknown tag field &quot;%1&quot;</source>
        <translation>unbekanntes Tag-Feld „%1“</translation>
    </message>
    <message>
        <location line="+21"/>
        <location line="+2"/>
        <location line="+226"/>
        <source>unknown option &quot;%1&quot;</source>
        <translation>unbekannte Option „%1“</translation>
    </message>
    <message>
        <location line="-221"/>
        <source>%1 needs a value</source>
        <translation>%1 braucht einen Wert</translation>
    </message>
    <message>
        <location line="+10"/>
        <source>--set needs NAME=VALUE, got &quot;%1&quot;</source>
        <translation>--set braucht NAME=WERT, erhalten: „%1“</translation>
    </message>
    <message>
        <location line="+7"/>
        <location line="+5"/>
        <source>unknown setting &quot;%1&quot;</source>
        <translation>unbekannte Einstellung „%1“</translation>
    </message>
    <message>
        <location line="+9"/>
        <source>%1 needs a whole number, got &quot;%2&quot;</source>
        <translation>%1 braucht eine ganze Zahl, erhalten: „%2“</translation>
    </message>
    <message>
        <location line="+12"/>
        <source>%1 is set field by field, as %1.title=...</source>
        <translation>%1 wird Feld für Feld gesetzt, etwa %1.title=...</translation>
    </message>
    <message>
        <location line="+22"/>
        <source>--replaygain takes track, album or off</source>
        <translation>--replaygain nimmt track, album oder off</translation>
    </message>
    <message>
        <location line="+11"/>
        <source>--normalise needs a level from -31 to -5 LUFS</source>
        <translation>--normalise braucht einen Pegel von -31 bis -5 LUFS</translation>
    </message>
    <message>
        <location line="+85"/>
        <source>--files-from needs a file, or - for standard input</source>
        <translation>--files-from braucht eine Datei oder - für die Standardeingabe</translation>
    </message>
    <message>
        <location line="+7"/>
        <source>unknown format &quot;%1&quot; (%2)</source>
        <translation>unbekanntes Format „%1“ (%2)</translation>
    </message>
    <message>
        <location line="+6"/>
        <source>the output folder is empty</source>
        <translation>der Ausgabeordner ist leer</translation>
    </message>
    <message>
        <location line="+12"/>
        <source>--if-exists takes rename, overwrite or skip</source>
        <translation>--if-exists nimmt rename, overwrite oder skip</translation>
    </message>
    <message>
        <location line="+11"/>
        <source>--jobs needs a number from 1 to 256</source>
        <translation>--jobs braucht eine Zahl von 1 bis 256</translation>
    </message>
    <message>
        <location line="+31"/>
        <source>--name-pattern needs -o DIR, the folder the names start in</source>
        <translation>--name-pattern braucht -o ORDNER, den Ordner, in dem die Namen beginnen</translation>
    </message>
    <message>
        <location line="+13"/>
        <source>no source files or folders given</source>
        <translation>keine Quelldateien oder -ordner angegeben</translation>
    </message>
    <message>
        <location line="+15"/>
        <source>Usage: wavorax-cli [OPTIONS] SOURCE...

Converts audio files to %1 with the settings of Wavorax.
A SOURCE file is taken whatever its extension; a folder is searched with its subfolders
for the file types switched on in the settings (BatchAdd...).

Options:
  -f, --format FORMAT      target format: %2
  -o, --output-dir DIR     write the outputs into DIR instead of next to each source
      --mirror             below DIR, recreate each source&apos;s folder path
      --if-exists POLICY   when the output exists: rename (add a number), overwrite, skip
      --set NAME=VALUE     any setting by its stored name, for this run only, e.g.
                           --set MP3BitRate=192 --set AutoDestMP3EncodingParam=0;
                           user tag fields as MP3ID3Tag.title=..., M4AID3Tag.trackMode=1
      --settings FILE      read the settings from FILE instead of the user&apos;s store
  -j, --jobs N             convert N files at once (default: one per CPU)
      --files-from FILE    also convert the sources listed in FILE (- for standard input),
                           one per line or separated by NUL characters
      --name-pattern PATTERN
                           name each output from the source&apos;s tags, below the -o folder:
                           %albumartist|artist%/%album%/%disc%-%track% %title%
                           (fields artist albumartist album title track disc year genre
                           filename folder ext; missing folders are created)
      --fat-safe           keep pattern names to what FAT and Windows shares accept
      --sync               only convert what changed: a source whose output below the
                           output folder is up to date is left alone (&quot;Up to date&quot;)
      --remove-orphans     with --sync (implied), move outputs whose source is gone to
                           the Trash
      --trash-sources      move each source to the Trash once its own output was written
                           and verified (the check runs for it even without --verify)
      --verify             decode each output again once written; one whose length differs
                           from the source&apos;s is removed (&quot;Verification Failure&quot;)
      --dry-run            print each source with the output it would get (new, renamed
                           to, overwrite, skipped, refused) and create nothing
      --list               print the rows (File, Length, Bit Rate, Freq., Channels) and
                           convert nothing
      --json               write one JSON object per line for every event
      --replaygain MODE    track or album: measure each output&apos;s loudness (EBU R128) as
                           it is written and tag its ReplayGain 2.0 gain to -18 LUFS
                           (Opus: R128 gains; WAV and raw AAC take no tags); an album
                           is the files sharing the album tag and the source folder
      --normalise LUFS     decode each source once to measure it, then bring its output
                           to LUFS (-31 to -5), its true peak at most -1 dBTP; with
                           --replaygain album an album as a whole
  -h, --help               show this text

The settings are read, never written. Exit status: 0 when everything converted, 1 when a
file failed, was skipped or could not be loaded, 2 on a usage error, 130 after Ctrl+C.
</source>
        <translation>Aufruf: wavorax-cli [OPTIONEN] QUELLE...

Konvertiert Audiodateien in %1 mit den Einstellungen von Wavorax.
Eine QUELLE-Datei wird unabhängig von ihrer Endung genommen; ein Ordner wird samt Unterordnern
nach den Dateitypen durchsucht, die in den Einstellungen eingeschaltet sind (BatchAdd...).

Optionen:
  -f, --format FORMAT      Zielformat: %2
  -o, --output-dir ORDNER  die Ausgaben in ORDNER schreiben statt neben jede Quelle
      --mirror             unterhalb von ORDNER den Ordnerpfad jeder Quelle nachbilden
      --if-exists REGEL    wenn die Ausgabe existiert: rename (Nummer anhängen), overwrite, skip
      --set NAME=WERT      eine Einstellung über ihren gespeicherten Namen, nur für diesen Lauf,
                           z. B. --set MP3BitRate=192 --set AutoDestMP3EncodingParam=0;
                           Benutzer-Tag-Felder als MP3ID3Tag.title=..., M4AID3Tag.trackMode=1
      --settings DATEI     die Einstellungen aus DATEI lesen statt aus denen des Benutzers
  -j, --jobs N             N Dateien gleichzeitig konvertieren (Standard: eine je CPU)
      --files-from DATEI   auch die in DATEI aufgeführten Quellen konvertieren (- für die
                           Standardeingabe), eine je Zeile oder durch NUL-Zeichen getrennt
      --name-pattern MUSTER
                           jede Ausgabe nach den Tags der Quelle benennen, unterhalb des -o-Ordners:
                           %albumartist|artist%/%album%/%disc%-%track% %title%
                           (Felder artist albumartist album title track disc year genre
                           filename folder ext; fehlende Ordner werden angelegt)
      --fat-safe           Musternamen auf das beschränken, was FAT und Windows-Freigaben annehmen
      --sync               nur Geändertes konvertieren: eine Quelle, deren Ausgabe unterhalb des
                           Ausgabeordners aktuell ist, bleibt unberührt („Aktuell“)
      --remove-orphans     mit --sync (eingeschlossen): Ausgaben, deren Quelle fehlt, in den
                           Papierkorb verschieben
      --trash-sources      jede Quelle in den Papierkorb verschieben, sobald ihre Ausgabe
                           geschrieben und geprüft ist (die Prüfung läuft dann auch ohne --verify)
      --verify             jede Ausgabe nach dem Schreiben erneut dekodieren; eine, deren Länge
                           von der Quelle abweicht, wird entfernt („Prüfung fehlgeschlagen“)
      --dry-run            jede Quelle mit der Ausgabe ausgeben, die sie bekäme (neu, umbenannt
                           in, überschreiben, übersprungen, abgelehnt), und nichts anlegen
      --list               die Zeilen ausgeben (Datei, Länge, Bitrate, Freq., Kanäle) und
                           nichts konvertieren
      --json               je Ereignis ein JSON-Objekt pro Zeile schreiben
      --replaygain MODUS   track oder album: die Lautheit jeder Ausgabe (EBU R128) beim
                           Schreiben messen und ihren ReplayGain-2.0-Wert auf -18 LUFS taggen
                           (Opus: R128-Werte; WAV und rohes AAC nehmen keine Tags); ein Album
                           sind die Dateien mit demselben Album-Tag im selben Quellordner
      --normalise LUFS     jede Quelle zum Messen einmal dekodieren, dann ihre Ausgabe auf
                           LUFS bringen (-31 bis -5), True Peak höchstens -1 dBTP; mit
                           --replaygain album ein Album als Ganzes
  -h, --help               diesen Text anzeigen

Die Einstellungen werden gelesen, nie geschrieben. Rückgabewert: 0, wenn alles konvertiert
wurde, 1, wenn eine Datei fehlschlug, übersprungen wurde oder nicht geladen werden konnte,
2 bei einem Aufruffehler, 130 nach Strg+C.
</translation>
    </message>
    <message>
        <location filename="../cli/main.cpp" line="+142"/>
        <source>Try &apos;wavorax-cli --help&apos;.</source>
        <translation>Mehr dazu mit „wavorax-cli --help“.</translation>
    </message>
    <message>
        <location line="+43"/>
        <source>the naming pattern has no base folder</source>
        <translation>das Namensmuster hat keinen Basisordner</translation>
    </message>
    <message>
        <location line="+8"/>
        <source>--sync needs an output folder (-o DIR or --name-pattern)</source>
        <translation>--sync braucht einen Ausgabeordner (-o ORDNER oder --name-pattern)</translation>
    </message>
    <message>
        <location line="+6"/>
        <source>cannot read the list %1</source>
        <translation>die Liste %1 kann nicht gelesen werden</translation>
    </message>
    <message>
        <location line="+17"/>
        <source>cannot read the folder %1</source>
        <translation>der Ordner %1 kann nicht gelesen werden</translation>
    </message>
    <message>
        <location line="+34"/>
        <source>No files found.</source>
        <translation>Keine Dateien gefunden.</translation>
    </message>
    <message>
        <location filename="../cli/Reporter.cpp" line="+233"/>
        <source>new %1</source>
        <translation>neu %1</translation>
    </message>
    <message>
        <location line="+3"/>
        <source>renamed to %1</source>
        <translation>umbenannt in %1</translation>
    </message>
    <message>
        <location line="+3"/>
        <source>overwrite %1</source>
        <translation>überschreiben %1</translation>
    </message>
    <message>
        <location line="+3"/>
        <source>skipped</source>
        <translation>übersprungen</translation>
    </message>
    <message>
        <location line="+3"/>
        <source>refused as the source itself</source>
        <translation>abgelehnt, da es die Quelle selbst ist</translation>
    </message>
    <message>
        <location line="+3"/>
        <source>up to date %1</source>
        <translation>aktuell %1</translation>
    </message>
    <message>
        <location line="+41"/>
        <source>Album of %1 track(s) from row %2: </source>
        <translation>Album mit %1 Titel(n) ab Zeile %2: </translation>
    </message>
    <message>
        <location line="+4"/>
        <source>%1, peak %2 (%3 tagged)</source>
        <translation>%1, Spitze %2 (%3 getaggt)</translation>
    </message>
    <message>
        <location line="+4"/>
        <source>no album gain (silence or too short)</source>
        <translation>kein Album-Gain (Stille oder zu kurz)</translation>
    </message>
    <message>
        <location line="+6"/>
        <source>Loudness: each source would be decoded once to measure it, then normalised to %1 LUFS (true peak at most -1 dBTP), albums as a whole</source>
        <translation>Lautheit: Jede Quelle würde zum Messen einmal dekodiert und dann auf %1 LUFS normalisiert (True Peak höchstens -1 dBTP), Alben als Ganzes</translation>
    </message>
    <message>
        <location line="+4"/>
        <source>Loudness: each source would be decoded once to measure it, then normalised to %1 LUFS (true peak at most -1 dBTP)</source>
        <translation>Lautheit: Jede Quelle würde zum Messen einmal dekodiert und dann auf %1 LUFS normalisiert (True Peak höchstens -1 dBTP)</translation>
    </message>
    <message>
        <location line="+5"/>
        <source>Loudness: ReplayGain track and album gains would be measured while converting and written as tags</source>
        <translation>Lautheit: ReplayGain-Werte für Titel und Alben würden beim Konvertieren gemessen und als Tags geschrieben</translation>
    </message>
    <message>
        <location line="+3"/>
        <source>Loudness: ReplayGain track gains would be measured while converting and written as tags</source>
        <translation>Lautheit: ReplayGain-Werte für Titel würden beim Konvertieren gemessen und als Tags geschrieben</translation>
    </message>
    <message>
        <location line="+14"/>
        <source>[%1/%2] Converting %3...%4%</source>
        <translation>[%1/%2] %3 wird konvertiert ... %4 %</translation>
    </message>
</context>
<context>
    <name>Desktop</name>
    <message>
        <location filename="../ui/main/DesktopSignals.cpp" line="+31"/>
        <source>1 file converted</source>
        <translation>1 Datei konvertiert</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>%1 files converted</source>
        <translation>%1 Dateien konvertiert</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>1 file failed</source>
        <translation>1 Datei fehlgeschlagen</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>%1 files failed</source>
        <translation>%1 Dateien fehlgeschlagen</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>1 file converted, %1 failed</source>
        <translation>1 Datei konvertiert, %1 fehlgeschlagen</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>%1 files converted, %2 failed</source>
        <translation>%1 Dateien konvertiert, %2 fehlgeschlagen</translation>
    </message>
</context>
<context>
    <name>Dialogs</name>
    <message>
        <location filename="../ui/common/Dialogs.cpp" line="+49"/>
        <source>All Support Formats (*.mp3 *.mp2 *.mp1 *.wav *.ogg *.oga *.opus *.mod *.xm *.it *.s3m *.mtm *.umx *.mo3 *.au *.snd *.aiff *.aif *.aifc *.afc *.cda *.flac *.wma *.wmv *.asf *.wv *.aac *.m4a *.m4b *.mp4 *.m4v *.ac3 *.adx *.ape *.mac *.mpc *.mp+ *.mpp *.spx *.tta *.amr *.cue *.toc *.nrg)</source>
        <translation>Alle unterstützten Formate (*.mp3 *.mp2 *.mp1 *.wav *.ogg *.oga *.opus *.mod *.xm *.it *.s3m *.mtm *.umx *.mo3 *.au *.snd *.aiff *.aif *.aifc *.afc *.cda *.flac *.wma *.wmv *.asf *.wv *.aac *.m4a *.m4b *.mp4 *.m4v *.ac3 *.adx *.ape *.mac *.mpc *.mp+ *.mpp *.spx *.tta *.amr *.cue *.toc *.nrg)</translation>
    </message>
    <message>
        <location line="+9"/>
        <source>MP3 Files (*.mp3 *.mp2 *.mp1)</source>
        <translation>MP3-Dateien (*.mp3 *.mp2 *.mp1)</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>WAV Files (*.wav)</source>
        <translation>WAV-Dateien (*.wav)</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>OGG Files (*.ogg *.oga *.opus)</source>
        <translation>OGG-Dateien (*.ogg *.oga *.opus)</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Windows Media Audio (*.wma)</source>
        <translation>Windows Media Audio (*.wma)</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Windows Media Video (*.wmv)</source>
        <translation>Windows Media Video (*.wmv)</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Advanced Systems Format (*.asf)</source>
        <translation>Advanced Systems Format (*.asf)</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>CD Audio (*.cda)</source>
        <translation>Audio-CD (*.cda)</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>CD Images (*.cue *.toc *.nrg)</source>
        <translation>CD-Abbilder (*.cue *.toc *.nrg)</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>AIFF Files (*.aiff *.aif *.aifc *.afc)</source>
        <translation>AIFF-Dateien (*.aiff *.aif *.aifc *.afc)</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Free Lossless Audio Codec (*.flac)</source>
        <translation>Free Lossless Audio Codec (*.flac)</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>WavPack (*.wv)</source>
        <translation>WavPack (*.wv)</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Advanced Audio Coding (*.aac)</source>
        <translation>Advanced Audio Coding (*.aac)</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Advanced Audio Coding MPEG-4 (*.m4a *.m4b *.mp4 *.m4v)</source>
        <translation>Advanced Audio Coding MPEG-4 (*.m4a *.m4b *.mp4 *.m4v)</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Dolby Digital AC-3 (*.ac3)</source>
        <translation>Dolby Digital AC-3 (*.ac3)</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>CRI ADX (*.adx)</source>
        <translation>CRI ADX (*.adx)</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Monkey&apos;s Audio (*.ape *.mac)</source>
        <translation>Monkey&apos;s Audio (*.ape *.mac)</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Musepack (*.mpc *.mp+ *.mpp)</source>
        <translation>Musepack (*.mpc *.mp+ *.mpp)</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Speex (*.spx)</source>
        <translation>Speex (*.spx)</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>The True Audio (*.tta)</source>
        <translation>The True Audio (*.tta)</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>MOD Musics (*.mod *.xm *.it *.s3m *.mtm *.umx)</source>
        <translation>MOD-Musik (*.mod *.xm *.it *.s3m *.mtm *.umx)</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>MO3 Musicss (*.mo3)</source>
        <translation>MO3-Musik (*.mo3)</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>AU Files (*.au)</source>
        <translation>AU-Dateien (*.au)</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>AMR Files (*.amr)</source>
        <translation>AMR-Dateien (*.amr)</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>NeXT/Sun sound Files (*.snd)</source>
        <translation>NeXT/Sun-Klangdateien (*.snd)</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>All Files (*)</source>
        <translation>Alle Dateien (*)</translation>
    </message>
</context>
<context>
    <name>Engine</name>
    <message>
        <location filename="../app/Translations.cpp" line="+45"/>
        <source>Converting...</source>
        <translation>Wird konvertiert ...</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Conversion Failure</source>
        <translation>Konvertierung fehlgeschlagen</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Cancelled</source>
        <translation>Abgebrochen</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Target exists and skipped</source>
        <translation>Ziel vorhanden, übersprungen</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Verification Failure</source>
        <translation>Prüfung fehlgeschlagen</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Source changed while converting</source>
        <translation>Quelle hat sich beim Konvertieren geändert</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Target file name is same as original file that can&apos;t be overwritten. Please output files to a custom folder.</source>
        <translation>Die Zieldatei hat denselben Namen wie die Originaldatei, die nicht überschrieben werden kann. Bitte geben Sie die Dateien in einen eigenen Ordner aus.</translation>
    </message>
    <message>
        <location line="+3"/>
        <source>%1 (not verified: the source is gone)</source>
        <translation>%1 (nicht geprüft: die Quelle ist nicht mehr da)</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>%1 (source kept: it is the output)</source>
        <translation>%1 (Quelle behalten: sie ist die Ausgabe)</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>%1 (source moved to the Trash)</source>
        <translation>%1 (Quelle in den Papierkorb verschoben)</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>%1 (normalised %2 dB)</source>
        <translation>%1 (normalisiert %2 dB)</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>%1 (source kept: %2)</source>
        <translation>%1 (Quelle behalten: %2)</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Failed to create folder &quot;%1&quot;</source>
        <translation>Der Ordner „%1“ konnte nicht angelegt werden</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Failed to create file &quot;%1&quot;</source>
        <translation>Die Datei „%1“ konnte nicht angelegt werden</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>Up to date</source>
        <translation>Aktuell</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>New</source>
        <translation>Neu</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Changed</source>
        <translation>Geändert</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Output missing</source>
        <translation>Ausgabe fehlt</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Output changed</source>
        <translation>Ausgabe geändert</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Failed its check</source>
        <translation>Prüfung nicht bestanden</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Source not found</source>
        <translation>Quelle nicht gefunden</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>No output name</source>
        <translation>Kein Ausgabename</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Output name taken</source>
        <translation>Ausgabename vergeben</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Only converting what changed needs an output folder</source>
        <translation>Nur Geändertes zu konvertieren braucht einen Ausgabeordner</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Unknown output format</source>
        <translation>Unbekanntes Ausgabeformat</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>The outputs have no base folder</source>
        <translation>Die Ausgaben haben keinen Basisordner</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Naming pattern refused: %1</source>
        <translation>Namensmuster abgelehnt: %1</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Moved to the Trash (%1)</source>
        <translation>In den Papierkorb verschoben (%1)</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>would move to the Trash (%1)</source>
        <translation>würde in den Papierkorb verschoben (%1)</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Kept: %1</source>
        <translation>Behalten: %1</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>source gone</source>
        <translation>Quelle nicht mehr da</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>superseded</source>
        <translation>ersetzt</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Could not write the sync state: %1</source>
        <translation>Der Abgleichstand konnte nicht geschrieben werden: %1</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Could not open the sync state: %1</source>
        <translation>Der Abgleichstand konnte nicht geöffnet werden: %1</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>The naming pattern is empty.</source>
        <translation>Das Namensmuster ist leer.</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>The naming pattern must be relative to the output folder: it must not begin with /.</source>
        <translation>Das Namensmuster muss relativ zum Ausgabeordner sein: Es darf nicht mit / beginnen.</translation>
    </message>
    <message>
        <location line="+3"/>
        <source>The naming pattern must not use . or .. as a folder.</source>
        <translation>Das Namensmuster darf . oder .. nicht als Ordner verwenden.</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>The naming pattern has a % without the % that closes its field.</source>
        <translation>Das Namensmuster hat ein %, dem das schließende % seines Feldes fehlt.</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>The naming pattern must end with a file name, not with /.</source>
        <translation>Das Namensmuster muss mit einem Dateinamen enden, nicht mit /.</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>Could not write to the trash: %1</source>
        <translation>In den Papierkorb konnte nicht geschrieben werden: %1</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Could not write to the trash</source>
        <translation>In den Papierkorb konnte nicht geschrieben werden</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>No usable trash on the file&apos;s file system</source>
        <translation>Kein nutzbarer Papierkorb auf dem Dateisystem der Datei</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Could not move to the trash: %1</source>
        <translation>Verschieben in den Papierkorb nicht möglich: %1</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>The trash has no free name for the file</source>
        <translation>Der Papierkorb hat keinen freien Namen für die Datei</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>The file is not there</source>
        <translation>Die Datei ist nicht vorhanden</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Folders are not moved to the trash</source>
        <translation>Ordner werden nicht in den Papierkorb verschoben</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>The home trash cannot be used</source>
        <translation>Der Papierkorb im persönlichen Ordner kann nicht verwendet werden</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>The file does not lie under its trash&apos;s top folder</source>
        <translation>Die Datei liegt nicht unterhalb des obersten Ordners ihres Papierkorbs</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>You should select a file at least.</source>
        <translation>Bitte wählen Sie mindestens eine Datei aus.</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>There aren&apos;t files in list.</source>
        <translation>Die Liste enthält keine Dateien.</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>Converting %1 of %2 file(s) to %3...</source>
        <translation>Datei %1 von %2 wird in %3 konvertiert ...</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Converting %1...%2%</source>
        <translation>%1 wird konvertiert ... %2 %</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Adding file %1 of %2...</source>
        <translation>Datei %1 von %2 wird hinzugefügt ...</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>A few seconds left</source>
        <translation>Noch wenige Sekunden</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>About %1 seconds left</source>
        <translation>Noch etwa %1 Sekunden</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>About 1 minute left</source>
        <translation>Noch etwa 1 Minute</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>About %1 minutes left</source>
        <translation>Noch etwa %1 Minuten</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>About 1 hour left</source>
        <translation>Noch etwa 1 Stunde</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>About %1 hours left</source>
        <translation>Noch etwa %1 Stunden</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>About 1 hour %1 minutes left</source>
        <translation>Noch etwa 1 Stunde %1 Minuten</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>About %1 hours %2 minutes left</source>
        <translation>Noch etwa %1 Stunden %2 Minuten</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Failed to load the following files.

%1
To get help, please contact &lt;support@quelbrook.example&gt;.</source>
        <translation>Die folgenden Dateien konnten nicht geladen werden.

%1
Hilfe erhalten Sie unter &lt;support@quelbrook.example&gt;.</translation>
    </message>
    <message>
        <location line="+3"/>
        <source>&lt;more files&gt;...</source>
        <translation>&lt;weitere Dateien&gt; ...</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>Mono</source>
        <translation>Mono</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Stereo</source>
        <translation>Stereo</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>J-Stereo</source>
        <translation>J-Stereo</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Dual Channel</source>
        <translation>Zweikanal</translation>
    </message>
</context>
<context>
    <name>Launch</name>
    <message>
        <location filename="../ui/main/DesktopLaunch.cpp" line="+25"/>
        <source>Usage: wavorax [OPTIONS] [FILE...]

Opens the Wavorax window with the audio files, folders and file:// URIs given in
its list, as a drop onto the window adds them. When Wavorax already runs in this
session, they go to its window instead.

Options:
  -h, --help     show this text
  -v, --version  show the version

Qt&apos;s own options (-platform, -style, -display ...) are taken as well.
Conversions from a terminal or a script: wavorax-cli --help
</source>
        <translation>Aufruf: wavorax [OPTIONEN] [DATEI...]

Öffnet das Fenster von Wavorax mit den angegebenen Audiodateien, Ordnern und file://-URIs
in seiner Liste, so wie ein Ablegen auf dem Fenster sie hinzufügt. Läuft Wavorax in dieser
Sitzung schon, gehen sie stattdessen an dessen Fenster.

Optionen:
  -h, --help     diesen Text anzeigen
  -v, --version  die Version anzeigen

Qts eigene Optionen (-platform, -style, -display ...) werden ebenfalls angenommen.
Konvertieren im Terminal oder in Skripten: wavorax-cli --help
</translation>
    </message>
</context>
<context>
    <name>Link</name>
    <message>
        <location filename="../ui/main/DefaultBrowser.cpp" line="+117"/>
        <source>The operating system is out
of memory or resources.</source>
        <translation>Dem Betriebssystem fehlt
es an Speicher oder Ressourcen.</translation>
    </message>
    <message>
        <location line="+3"/>
        <source>The specified file was not found.</source>
        <translation>Die angegebene Datei wurde nicht gefunden.</translation>
    </message>
    <message>
        <location line="+3"/>
        <source>The specified path was not found.</source>
        <translation>Der angegebene Pfad wurde nicht gefunden.</translation>
    </message>
    <message>
        <location line="+4"/>
        <source>The operating system denied
access to the specified file.</source>
        <translation>Das Betriebssystem hat den Zugriff
auf die angegebene Datei verweigert.</translation>
    </message>
    <message>
        <location line="+3"/>
        <source>There was not enough memory to complete the operation.</source>
        <translation>Für den Vorgang war nicht genug Speicher frei.</translation>
    </message>
    <message>
        <location line="+3"/>
        <source>The .EXE file is invalid
(non-Win32 .EXE or error in .EXE image).</source>
        <translation>Die .EXE-Datei ist ungültig
(keine Win32-.EXE oder Fehler im .EXE-Abbild).</translation>
    </message>
    <message>
        <location line="+4"/>
        <source>A sharing violation occurred. </source>
        <translation>Es ist eine Freigabeverletzung aufgetreten. </translation>
    </message>
    <message>
        <location line="+3"/>
        <source>The filename association is
incomplete or invalid.</source>
        <translation>Die Dateizuordnung ist
unvollständig oder ungültig.</translation>
    </message>
    <message>
        <location line="+3"/>
        <source>The DDE transaction could not
be completed because the request timed out.</source>
        <translation>Die DDE-Transaktion konnte nicht
abgeschlossen werden, weil die Anfrage zu lange dauerte.</translation>
    </message>
    <message>
        <location line="+4"/>
        <source>The DDE transaction failed.</source>
        <translation>Die DDE-Transaktion ist fehlgeschlagen.</translation>
    </message>
    <message>
        <location line="+3"/>
        <source>The DDE transaction could not
be completed because other DDE transactions
were being processed.</source>
        <translation>Die DDE-Transaktion konnte nicht
abgeschlossen werden, weil andere DDE-Transaktionen
bearbeitet wurden.</translation>
    </message>
    <message>
        <location line="+6"/>
        <source>There is no application associated
with the given filename extension.</source>
        <translation>Der angegebenen Dateiendung
ist kein Programm zugeordnet.</translation>
    </message>
    <message>
        <location line="+4"/>
        <source>The specified dynamic-link library was not found.</source>
        <translation>Die angegebene Programmbibliothek wurde nicht gefunden.</translation>
    </message>
    <message>
        <location line="+7"/>
        <source>Unknown Error (%1) occurred.</source>
        <translation>Unbekannter Fehler (%1) aufgetreten.</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Unable to open hyperlink:

%1</source>
        <translation>Der Link kann nicht geöffnet werden:

%1</translation>
    </message>
</context>
<context>
    <name>OptPage</name>
    <message>
        <location filename="../ui/options/OptPage.cpp" line="+27"/>
        <source>Please enter an integer.</source>
        <translation>Bitte geben Sie eine ganze Zahl ein.</translation>
    </message>
    <message>
        <location line="+4"/>
        <source>Please enter no more than %1 characters.</source>
        <translation>Bitte geben Sie höchstens %1 Zeichen ein.</translation>
    </message>
    <message>
        <location line="+5"/>
        <source>Please enter an integer between %1 and %2.</source>
        <translation>Bitte geben Sie eine ganze Zahl zwischen %1 und %2 ein.</translation>
    </message>
</context>
<context>
    <name>Table</name>
    <message>
        <location filename="../cli/Reporter.cpp" line="-195"/>
        <location filename="../ui/main/SourceTableModel.cpp" line="+11"/>
        <source>File</source>
        <translation>Datei</translation>
    </message>
    <message>
        <location line="+0"/>
        <location filename="../ui/main/SourceTableModel.cpp" line="+0"/>
        <source>Length</source>
        <translation>Länge</translation>
    </message>
    <message>
        <location line="+1"/>
        <location filename="../ui/main/SourceTableModel.cpp" line="+1"/>
        <source>Bit Rate</source>
        <translation>Bitrate</translation>
    </message>
    <message>
        <location line="+0"/>
        <location filename="../ui/main/SourceTableModel.cpp" line="+0"/>
        <source>Freq.</source>
        <translation>Freq.</translation>
    </message>
    <message>
        <location line="+1"/>
        <location filename="../ui/main/SourceTableModel.cpp" line="+1"/>
        <source>Channels</source>
        <translation>Kanäle</translation>
    </message>
    <message>
        <location filename="../ui/main/SourceTableModel.cpp" line="+0"/>
        <source>Status</source>
        <translation>Status</translation>
    </message>
</context>
<context>
    <name>wavorax::ui::CAacFamilyPage</name>
    <message>
        <location filename="../ui/options/OptAacPage.cpp" line="+44"/>
        <source>Reset</source>
        <translation>Zurücksetzen</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>A&amp;uto (let the program choose the best parameters)</source>
        <translation>A&amp;utomatisch (das Programm wählt die besten Parameter)</translation>
    </message>
    <message>
        <location line="+3"/>
        <source>Average &amp;Bit Rate (ABR)</source>
        <translation>Mittlere Bitrate (AB&amp;R)</translation>
    </message>
    <message>
        <location line="+0"/>
        <source>&amp;Variable Bit Rate (VBR)</source>
        <translation>&amp;Variable Bitrate (VBR)</translation>
    </message>
    <message>
        <location line="+3"/>
        <source>%1 kbps</source>
        <translation>%1 kbit/s</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Same as original file</source>
        <translation>Wie Originaldatei</translation>
    </message>
    <message>
        <location line="+6"/>
        <source>Advanced Options</source>
        <translation>Erweiterte Optionen</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Use &amp;Temporal Noise Shaping (TNS)</source>
        <translation>&amp;Temporal Noise Shaping (TNS) verwenden</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Allow &amp;Mid/Side</source>
        <translation>&amp;Mid/Side zulassen</translation>
    </message>
    <message>
        <location line="+7"/>
        <source>MPEG&amp;4</source>
        <translation>MPEG&amp;4</translation>
    </message>
    <message>
        <location line="+0"/>
        <source>MPEG&amp;2</source>
        <translation>MPEG&amp;2</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>MPEG Version:</source>
        <translation>MPEG-Version:</translation>
    </message>
    <message>
        <location line="+4"/>
        <source>B&amp;oth long and short</source>
        <translation>&amp;Lange und kurze</translation>
    </message>
    <message>
        <location line="+0"/>
        <source>No &amp;short</source>
        <translation>Keine &amp;kurzen</translation>
    </message>
    <message>
        <location line="+0"/>
        <source>&amp;No long</source>
        <translation>Keine la&amp;ngen</translation>
    </message>
    <message>
        <location line="+3"/>
        <source>Block Type:</source>
        <translation>Blocktyp:</translation>
    </message>
    <message>
        <location line="+6"/>
        <source>Add &amp;ID3 tag</source>
        <translation>&amp;ID3-Tag hinzufügen</translation>
    </message>
    <message>
        <location line="+0"/>
        <source>Trans&amp;fer ID3 tag from source file</source>
        <translation>ID3-Tag aus der Quelldatei &amp;übernehmen</translation>
    </message>
    <message>
        <location line="+0"/>
        <source>Non&amp;e</source>
        <translation>Kein&amp;e</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>E&amp;dit ID3 tag</source>
        <translation>I&amp;D3-Tag bearbeiten</translation>
    </message>
    <message>
        <location line="+8"/>
        <source>MP4/M4A/M4B Encoding Parameters</source>
        <translation>Kodierparameter für MP4/M4A/M4B</translation>
    </message>
    <message>
        <location line="+0"/>
        <source>AAC Encoding Parameters</source>
        <translation>Kodierparameter für AAC</translation>
    </message>
    <message>
        <location line="+7"/>
        <source>Bit &amp;Rate:</source>
        <translation>&amp;Bitrate:</translation>
    </message>
    <message>
        <location line="+5"/>
        <source>(Default: 100. From 10 to 500)</source>
        <translation>(Standard: 100. Von 10 bis 500)</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>&amp;Quality:</source>
        <translation>&amp;Qualität:</translation>
    </message>
    <message>
        <location line="+6"/>
        <source>ID3 tag</source>
        <translation>ID3-Tag</translation>
    </message>
    <message>
        <location line="+3"/>
        <source>Sound</source>
        <translation>Klang</translation>
    </message>
    <message>
        <location line="+47"/>
        <source>Invalid quality value. It&apos;s betwen 10 and 500.</source>
        <translation>Ungültiger Qualitätswert. Er liegt zwischen 10 und 500.</translation>
    </message>
</context>
<context>
    <name>wavorax::ui::CAmplifyBox</name>
    <message>
        <location filename="../ui/options/OptPage.cpp" line="+151"/>
        <source>&amp;Amplify / Reduce sound</source>
        <translation>Lautstärke &amp;anheben / absenken</translation>
    </message>
    <message>
        <location line="+5"/>
        <source>&amp;Coefficient:</source>
        <translation>&amp;Faktor:</translation>
    </message>
    <message>
        <location line="+6"/>
        <source>&lt; 100% - Reduce sound
= 100% - No changes
&gt; 100% - Amplify sound</source>
        <translation>&lt; 100 % – leiser
= 100 % – unverändert
&gt; 100 % – lauter</translation>
    </message>
    <message>
        <location line="+27"/>
        <source>Invalid amplification coefficient. It&apos;s betwen 10 and 3000.</source>
        <translation>Ungültiger Verstärkungsfaktor. Er liegt zwischen 10 und 3000.</translation>
    </message>
</context>
<context>
    <name>wavorax::ui::CDesktopSignals</name>
    <message>
        <location filename="../ui/main/DesktopSignals.cpp" line="+29"/>
        <location line="+24"/>
        <source>Converting audio files</source>
        <translation>Audiodateien werden konvertiert</translation>
    </message>
    <message>
        <location line="+24"/>
        <source>Conversion finished</source>
        <translation>Konvertierung beendet</translation>
    </message>
    <message>
        <location line="+0"/>
        <source>Open Folder</source>
        <translation>Ordner öffnen</translation>
    </message>
</context>
<context>
    <name>wavorax::ui::CHelpWindow</name>
    <message>
        <location filename="../ui/main/HelpWindow.cpp" line="+36"/>
        <source>Wavorax Help</source>
        <translation>Wavorax-Hilfe</translation>
    </message>
    <message>
        <location line="+5"/>
        <source>Back</source>
        <translation>Zurück</translation>
    </message>
    <message>
        <location line="+5"/>
        <source>Forward</source>
        <translation>Vor</translation>
    </message>
</context>
<context>
    <name>wavorax::ui::CMainDlg</name>
    <message>
        <location filename="../ui/main/MainDlg.cpp" line="+166"/>
        <source>&amp;Add Files</source>
        <translation>&amp;Dateien...</translation>
    </message>
    <message>
        <location line="+0"/>
        <source>Add files</source>
        <translation>Dateien hinzufügen</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Add &amp;Folder</source>
        <translation>&amp;Ordner...</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Add files from a folder</source>
        <translation>Dateien aus einem Ordner hinzufügen</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Remove A&amp;ll</source>
        <translation>&amp;Alle entfernen</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Remove all files in list</source>
        <translation>Alle Dateien aus der Liste entfernen</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>&amp;Convert</source>
        <translation>&amp;Konvertieren</translation>
    </message>
    <message>
        <location line="+0"/>
        <source>Convert all files</source>
        <translation>Alle Dateien konvertieren</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>&amp;Options</source>
        <translation>O&amp;ptionen</translation>
    </message>
    <message>
        <location line="+0"/>
        <source>Options</source>
        <translation>Optionen</translation>
    </message>
    <message>
        <location line="+47"/>
        <source>Help</source>
        <translation>Hilfe</translation>
    </message>
    <message>
        <location line="+0"/>
        <source>Opens the help menu</source>
        <translation>Öffnet das Hilfemenü</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>Minimize</source>
        <translation>Minimieren</translation>
    </message>
    <message>
        <location line="+0"/>
        <source>Minimizes the window</source>
        <translation>Minimiert das Fenster</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Close</source>
        <translation>Schließen</translation>
    </message>
    <message>
        <location line="+0"/>
        <source>Closes Wavorax</source>
        <translation>Schließt Wavorax</translation>
    </message>
    <message>
        <location line="+8"/>
        <source>Visit Wavorax Homepage</source>
        <translation>Website von Wavorax besuchen</translation>
    </message>
    <message>
        <location line="+13"/>
        <source>Target format</source>
        <translation>Zielformat</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>The format every file is converted to</source>
        <translation>Das Format, in das jede Datei konvertiert wird</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Files</source>
        <translation>Dateien</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>The files to convert, with their length, bit rate, frequency, channels and status</source>
        <translation>Die zu konvertierenden Dateien mit Länge, Bitrate, Frequenz, Kanälen und Status</translation>
    </message>
    <message>
        <location line="+37"/>
        <source>&amp;Play Source</source>
        <translation>&amp;Quelle abspielen</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Play &amp;Destination</source>
        <translation>&amp;Ziel abspielen</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>&amp;Convert Selected</source>
        <translation>Auswahl &amp;konvertieren</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Convert All</source>
        <translation>Alle konvertieren</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>Browse &amp;Source Folder</source>
        <translation>Quell&amp;ordner öffnen</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Browse Destination &amp;Folder</source>
        <translation>Zielordner ö&amp;ffnen</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>&amp;Add Files...	Ctrl+O</source>
        <translation>&amp;Dateien hinzufügen ...	Strg+O</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Add F&amp;older</source>
        <translation>O&amp;rdner hinzufügen</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Add Audio &amp;CD</source>
        <translation>Audio-&amp;CD hinzufügen</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>&amp;Remove	Del</source>
        <translation>&amp;Entfernen	Entf</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Remove Al&amp;l</source>
        <translation>&amp;Alle entfernen</translation>
    </message>
    <message>
        <location line="+3"/>
        <source>&amp;Help Topics	F1</source>
        <translation>&amp;Hilfethemen	F1</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>&amp;Tell A Friend</source>
        <translation>&amp;Weiterempfehlen</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>&amp;Feedback and Support</source>
        <translation>&amp;Feedback und Support</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Home&amp;page</source>
        <translation>Web&amp;site</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>&amp;Check Latest Version</source>
        <translation>Nach neuer &amp;Version suchen</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>&amp;About...</source>
        <translation>Ü&amp;ber Wavorax ...</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>Use the desktop&apos;s &amp;look</source>
        <translation>&amp;Aussehen des Desktops verwenden</translation>
    </message>
    <message>
        <location line="+119"/>
        <source>I convert my music with Wavorax, a batch audio converter: </source>
        <translation>Ich konvertiere meine Musik mit Wavorax, einem Stapel-Audiokonverter: </translation>
    </message>
    <message>
        <location line="+151"/>
        <source>Please choose a folder:</source>
        <translation>Bitte wählen Sie einen Ordner:</translation>
    </message>
    <message>
        <location line="+5"/>
        <location line="+76"/>
        <source>Searching files...</source>
        <translation>Dateien werden gesucht ...</translation>
    </message>
    <message>
        <location line="-66"/>
        <source>There is no audio CD in any drive.</source>
        <translation>In keinem Laufwerk liegt eine Audio-CD.</translation>
    </message>
    <message>
        <location line="+9"/>
        <source>Please choose a drive:</source>
        <translation>Bitte wählen Sie ein Laufwerk:</translation>
    </message>
    <message>
        <location line="+245"/>
        <source>About Wavorax</source>
        <translation>Über Wavorax</translation>
    </message>
    <message>
        <location line="+7"/>
        <source>&lt;p style=&apos;font-size:15px&apos;&gt;&lt;b&gt;Wavorax&lt;/b&gt;&lt;/p&gt;&lt;p&gt;Version %1&lt;/p&gt;&lt;p&gt;A batch audio converter.&lt;br&gt;&amp;copy; Quelbrook&lt;/p&gt;</source>
        <translation>&lt;p style=&apos;font-size:15px&apos;&gt;&lt;b&gt;Wavorax&lt;/b&gt;&lt;/p&gt;&lt;p&gt;Version %1&lt;/p&gt;&lt;p&gt;Ein Stapel-Audiokonverter.&lt;br&gt;&amp;copy; Quelbrook&lt;/p&gt;</translation>
    </message>
    <message>
        <location line="+3"/>
        <source>OK</source>
        <translation>OK</translation>
    </message>
    <message>
        <location line="+83"/>
        <source>&amp;Help</source>
        <translation>&amp;Hilfe</translation>
    </message>
</context>
<context>
    <name>wavorax::ui::COptFlacAlacPage</name>
    <message>
        <location filename="../ui/options/OptFlacAlacPage.cpp" line="+16"/>
        <source>Same as the source</source>
        <translation>Wie die Quelle</translation>
    </message>
    <message>
        <location line="+0"/>
        <source>16 bits</source>
        <translation>16 Bit</translation>
    </message>
    <message>
        <location line="+10"/>
        <source> (fastest)</source>
        <translation> (am schnellsten)</translation>
    </message>
    <message>
        <location line="+1"/>
        <source> (default)</source>
        <translation> (Standard)</translation>
    </message>
    <message>
        <location line="+1"/>
        <source> (smallest)</source>
        <translation> (am kleinsten)</translation>
    </message>
    <message>
        <location line="+4"/>
        <source>Add &amp;tag</source>
        <translation>&amp;Tag hinzufügen</translation>
    </message>
    <message>
        <location line="+0"/>
        <source>T&amp;ransfer tags from source file</source>
        <translation>Tags aus der Quelldatei &amp;übernehmen</translation>
    </message>
    <message>
        <location line="+0"/>
        <source>&amp;None</source>
        <translation>Kei&amp;ne</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>&amp;Edit tag</source>
        <translation>Tag b&amp;earbeiten</translation>
    </message>
    <message>
        <location line="+3"/>
        <source>Every level keeps the sound exactly; higher levels take longer and make slightly smaller files.</source>
        <translation>Jede Stufe erhält den Klang exakt; höhere Stufen brauchen länger und ergeben etwas kleinere Dateien.</translation>
    </message>
    <message>
        <location line="+7"/>
        <source>FLAC Encoding Parameters</source>
        <translation>Kodierparameter für FLAC</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>&amp;Compression Level:</source>
        <translation>&amp;Kompressionsstufe:</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>&amp;Bits:</source>
        <translation>&amp;Bits:</translation>
    </message>
    <message>
        <location line="+3"/>
        <source>ALAC Encoding Parameters</source>
        <translation>Kodierparameter für ALAC</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>B&amp;its:</source>
        <translation>B&amp;its:</translation>
    </message>
    <message>
        <location line="+5"/>
        <source>Tags for FLAC, Opus and Ogg Vorbis</source>
        <translation>Tags für FLAC, Opus und Ogg Vorbis</translation>
    </message>
    <message>
        <location line="+3"/>
        <source>ALAC files take the tag choice of the MP4/M4A/M4B Options page.</source>
        <translation>ALAC-Dateien folgen der Tag-Wahl auf der Seite „MP4/M4A/M4B-Optionen“.</translation>
    </message>
</context>
<context>
    <name>wavorax::ui::COptMp3Page</name>
    <message>
        <location filename="../ui/options/OptMp3Page.cpp" line="+51"/>
        <source>Auto</source>
        <translation>Automatisch</translation>
    </message>
    <message>
        <location line="+0"/>
        <source>11025 Hz, 16 kbps, Mono (low quality, smaller file size)</source>
        <translation>11025 Hz, 16 kbit/s, Mono (geringe Qualität, kleinere Dateien)</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>22050 Hz, 32 kbps, Joint Stereo (OK quality, small size)</source>
        <translation>22050 Hz, 32 kbit/s, Joint Stereo (ordentliche Qualität, kleine Dateien)</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>32000 Hz, 96 kbps, Joint Stereo (medium quality, normal size)</source>
        <translation>32000 Hz, 96 kbit/s, Joint Stereo (mittlere Qualität, normale Größe)</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>44100Hz, 128 kbps, Joint Stereo (close to CD-quality, large size)</source>
        <translation>44100 Hz, 128 kbit/s, Joint Stereo (nahezu CD-Qualität, große Dateien)</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Custom</source>
        <translation>Benutzerdefiniert</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>%1 Hz</source>
        <translation>%1 Hz</translation>
    </message>
    <message>
        <location line="+1"/>
        <location line="+4"/>
        <source>Same as original file</source>
        <translation>Wie Originaldatei</translation>
    </message>
    <message>
        <location line="-1"/>
        <location line="+14"/>
        <source>%1 kbps</source>
        <translation>%1 kbit/s</translation>
    </message>
    <message>
        <location line="-11"/>
        <source>Constant bit rate</source>
        <translation>Konstante Bitrate</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Variable bit rate</source>
        <translation>Variable Bitrate</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Average bit rate</source>
        <translation>Mittlere Bitrate</translation>
    </message>
    <message>
        <location line="+4"/>
        <source>V%1</source>
        <translation>V%1</translation>
    </message>
    <message>
        <location line="+1"/>
        <source> (best)</source>
        <translation> (beste)</translation>
    </message>
    <message>
        <location line="+1"/>
        <source> (smallest)</source>
        <translation> (am kleinsten)</translation>
    </message>
    <message>
        <location line="+8"/>
        <source>Channels:</source>
        <translation>Kanäle:</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>&amp;Joint Stereo</source>
        <translation>&amp;Joint Stereo</translation>
    </message>
    <message>
        <location line="+0"/>
        <source>&amp;Stereo</source>
        <translation>&amp;Stereo</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>&amp;Mono</source>
        <translation>&amp;Mono</translation>
    </message>
    <message>
        <location line="+0"/>
        <source>Same as &amp;original file</source>
        <translation>Wie &amp;Originaldatei</translation>
    </message>
    <message>
        <location line="+8"/>
        <source>Joint Stereo vs. Stereo</source>
        <translation>Joint Stereo oder Stereo?</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>The program uses LAME MP3 encoder.</source>
        <translation>Das Programm verwendet den MP3-Encoder LAME.</translation>
    </message>
    <message>
        <location line="+7"/>
        <source>Add &amp;ID3 tag</source>
        <translation>&amp;ID3-Tag hinzufügen</translation>
    </message>
    <message>
        <location line="+0"/>
        <source>T&amp;ransfer ID3 tag from source file</source>
        <translation>ID3-Tag aus der Quelldatei &amp;übernehmen</translation>
    </message>
    <message>
        <location line="+0"/>
        <source>&amp;None</source>
        <translation>Kei&amp;ne</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Edit ID3 &amp;tag</source>
        <translation>ID3-Tag bea&amp;rbeiten</translation>
    </message>
    <message>
        <location line="+4"/>
        <source>Encoding Parameters</source>
        <translation>Kodierparameter</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>&amp;Encoding Options:</source>
        <translation>&amp;Kodieroptionen:</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>Sample &amp;Frequency:</source>
        <translation>Ab&amp;tastfrequenz:</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>&amp;Bit Rate:</source>
        <translation>&amp;Bitrate:</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>Bit Rate Mo&amp;de:</source>
        <translation>Bitraten-Mo&amp;dus:</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>VBR &amp;Quality:</source>
        <translation>VBR-&amp;Qualität:</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>A&amp;verage Bit Rate:</source>
        <translation>Mittl&amp;ere Bitrate:</translation>
    </message>
    <message>
        <location line="+11"/>
        <source>ID3 tag</source>
        <translation>ID3-Tag</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>Sound</source>
        <translation>Klang</translation>
    </message>
</context>
<context>
    <name>wavorax::ui::COptOpusVorbisPage</name>
    <message>
        <location filename="../ui/options/OptOpusVorbisPage.cpp" line="+54"/>
        <source>&amp;Variable bit rate (VBR)</source>
        <translation>&amp;Variable Bitrate (VBR)</translation>
    </message>
    <message>
        <location line="+3"/>
        <source>&amp;Music</source>
        <translation>&amp;Musik</translation>
    </message>
    <message>
        <location line="+0"/>
        <source>S&amp;peech</source>
        <translation>S&amp;prache</translation>
    </message>
    <message>
        <location line="+9"/>
        <source>&amp;Quality:</source>
        <translation>&amp;Qualität:</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>&amp;Average Bit Rate:</source>
        <translation>Mi&amp;ttlere Bitrate:</translation>
    </message>
    <message>
        <location line="+9"/>
        <source>Opus Encoding Parameters</source>
        <translation>Kodierparameter für Opus</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>&amp;Bit Rate:</source>
        <translation>&amp;Bitrate:</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>kbps for stereo (%1 to %2 per channel)</source>
        <translation>kbit/s für Stereo (%1 bis %2 je Kanal)</translation>
    </message>
    <message>
        <location line="+5"/>
        <source>Signal:</source>
        <translation>Signal:</translation>
    </message>
    <message>
        <location line="+3"/>
        <source>Ogg Vorbis Encoding Parameters</source>
        <translation>Kodierparameter für Ogg Vorbis</translation>
    </message>
    <message>
        <location line="+3"/>
        <source>(Default: %1. From %2 to %3; higher is better)</source>
        <translation>(Standard: %1. Von %2 bis %3; höher ist besser)</translation>
    </message>
    <message>
        <location line="+8"/>
        <source>kbps (Default: %1. From %2 to %3)</source>
        <translation>kbit/s (Standard: %1. Von %2 bis %3)</translation>
    </message>
    <message>
        <location line="+9"/>
        <source>Tags</source>
        <translation>Tags</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>The tags of Opus and Ogg Vorbis files are chosen on the FLAC / ALAC page.</source>
        <translation>Die Tags von Opus- und Ogg-Vorbis-Dateien werden auf der Seite „FLAC / ALAC“ gewählt.</translation>
    </message>
</context>
<context>
    <name>wavorax::ui::COptOutputPage</name>
    <message>
        <location filename="../ui/options/OptOutputPage.cpp" line="+43"/>
        <source>General</source>
        <translation>Allgemein</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>If output channel is set to mono and the original file is stereo, output sound equals to:</source>
        <translation>Ist die Ausgabe auf Mono gestellt und die Originaldatei in Stereo, entspricht der Ausgabeklang:</translation>
    </message>
    <message>
        <location line="+7"/>
        <source>(L+R) / &amp;2</source>
        <translation>(L+R) / &amp;2</translation>
    </message>
    <message>
        <location line="+0"/>
        <source>&amp;L channel</source>
        <translation>&amp;Linker Kanal</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>&amp;R channel</source>
        <translation>&amp;Rechter Kanal</translation>
    </message>
    <message>
        <location line="+12"/>
        <source>Add files for &quot;Add Folder&quot; and drag/drop:</source>
        <translation>Dateien für „Ordner hinzufügen“ und Ziehen und Ablegen:</translation>
    </message>
    <message>
        <location line="+21"/>
        <source>.cue, .toc, .nrg (CD images)</source>
        <translation>.cue, .toc, .nrg (CD-Abbilder)</translation>
    </message>
    <message>
        <location line="+4"/>
        <source>Check All</source>
        <translation>Alle auswählen</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Uncheck All</source>
        <translation>Keine auswählen</translation>
    </message>
    <message>
        <location line="+6"/>
        <source>Output</source>
        <translation>Ausgabe</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>Same as original file</source>
        <translation>Wie Originaldatei</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>A custom folder</source>
        <translation>Ein eigener Ordner</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Name outputs by pattern</source>
        <translation>Ausgaben nach Muster benennen</translation>
    </message>
    <message>
        <location line="+3"/>
        <source>Bro&amp;wse</source>
        <translation>D&amp;urchsuchen</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>&amp;Create folders according to path of original file</source>
        <translation>&amp;Ordnerstruktur der Originaldatei nachbilden</translation>
    </message>
    <message>
        <location line="+3"/>
        <source>For example: original file is &quot;/home/u/Music/pop/1.mp3&quot; and output folder is &quot;/data/Output.&quot; If the option is checked, the output folder will be
&quot;/data/Output/home/u/Music/pop.&quot;</source>
        <translation>Beispiel: Die Originaldatei ist „/home/u/Music/pop/1.mp3“ und der Ausgabeordner „/data/Output“. Ist die Option gewählt, wird der Ausgabeordner
„/data/Output/home/u/Music/pop“.</translation>
    </message>
    <message>
        <location line="+7"/>
        <source>Fields: %artist% %albumartist% %album% %title% %track% %disc% %year% %genre% %filename% %folder% %ext%, and %field|fallback%</source>
        <translation>Felder: %artist% %albumartist% %album% %title% %track% %disc% %year% %genre% %filename% %folder% %ext% sowie %feld|ersatz%</translation>
    </message>
    <message>
        <location line="+5"/>
        <source>Names safe for F&amp;AT and Windows shares</source>
        <translation>Namen für F&amp;AT und Windows-Freigaben tauglich machen</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>Auto rename (add number at end of file name)</source>
        <translation>Automatisch umbenennen (Nummer an den Dateinamen anhängen)</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Overwrite</source>
        <translation>Überschreiben</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Skip (not convert)</source>
        <translation>Überspringen (nicht konvertieren)</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>&amp;Output folder:</source>
        <translation>Ausga&amp;beordner:</translation>
    </message>
    <message>
        <location line="+2"/>
        <location line="+187"/>
        <source>Custom &amp;folder:</source>
        <translation>&amp;Eigener Ordner:</translation>
    </message>
    <message>
        <location line="-181"/>
        <source>Name &amp;pattern:</source>
        <translation>Namens&amp;muster:</translation>
    </message>
    <message>
        <location line="+4"/>
        <source>If target file &amp;exists </source>
        <translation>Wenn die &amp;Zieldatei existiert </translation>
    </message>
    <message>
        <location line="+4"/>
        <source>Output files to M&amp;y Documents if creating file failure</source>
        <translation>Bei Fehlern beim Anlegen in &amp;Dokumente ausgeben</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>&amp;Browse output folder while conversion completes</source>
        <translation>Ausgabeordner nach dem Konvertieren ö&amp;ffnen</translation>
    </message>
    <message>
        <location line="+6"/>
        <source>Convert &amp;N files at once</source>
        <translation>&amp;N Dateien gleichzeitig konvertieren</translation>
    </message>
    <message>
        <location line="+4"/>
        <source>&amp;Verify each output after converting</source>
        <translation>Jede Ausgabe nach dem Konvertieren &amp;prüfen</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>Only convert what c&amp;hanged</source>
        <translation>Nur &amp;Geändertes konvertieren</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Remove outputs whose source is &amp;gone</source>
        <translation>Ausgaben entfernen, deren &amp;Quelle fehlt</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Move sources to the &amp;Trash after converting</source>
        <translation>Quellen nach dem Konvertieren in den Papier&amp;korb verschieben</translation>
    </message>
    <message>
        <location line="+6"/>
        <source>Off</source>
        <translation>Aus</translation>
    </message>
    <message>
        <location line="+0"/>
        <source>Track</source>
        <translation>Titel</translation>
    </message>
    <message>
        <location line="+0"/>
        <source>Track and album</source>
        <translation>Titel und Album</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Nor&amp;malise to</source>
        <translation>Normal&amp;isieren auf</translation>
    </message>
    <message>
        <location line="+4"/>
        <source>Normalisation target</source>
        <translation>Zielwert der Normalisierung</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>&amp;ReplayGain tags:</source>
        <translation>ReplayGain-&amp;Tags:</translation>
    </message>
    <message>
        <location line="+7"/>
        <source>Use the des&amp;ktop&apos;s look</source>
        <translation>Aussehen des Des&amp;ktops verwenden</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>An ordinary, resizable window in the desktop&apos;s style and colours, dark mode included</source>
        <translation>Ein gewöhnliches Fenster mit veränderbarer Größe in Stil und Farben des Desktops, auch im dunklen Modus</translation>
    </message>
    <message>
        <location line="+7"/>
        <source>In general, the output sound equals to &quot;(L+R)/2,&quot; which contains left and right channels.

&quot;L channel&quot; means the program outputs left channel of original stereo file. And &quot;R channel&quot; means right channel. It&apos;s very useful when you want to convert a stereo file into two files that contains left and right channels distinguishingly.</source>
        <translation>Normalerweise entspricht der Ausgabeklang „(L+R)/2“, also dem linken und rechten Kanal zusammen.

„Linker Kanal“ heißt, das Programm gibt den linken Kanal der Stereo-Originaldatei aus, „Rechter Kanal“ entsprechend den rechten. Das ist praktisch, wenn Sie eine Stereodatei in zwei Dateien mit dem linken und dem rechten Kanal getrennt aufteilen wollen.</translation>
    </message>
    <message>
        <location line="+30"/>
        <source>For example: %1</source>
        <translation>Beispiel: %1</translation>
    </message>
    <message>
        <location line="+38"/>
        <source>Please choose an output folder.</source>
        <translation>Bitte wählen Sie einen Ausgabeordner.</translation>
    </message>
    <message>
        <location line="+3"/>
        <source>Please choose a base folder for the names.</source>
        <translation>Bitte wählen Sie einen Basisordner für die Namen.</translation>
    </message>
    <message>
        <location line="+58"/>
        <source>Base &amp;folder:</source>
        <translation>Basisordn&amp;er:</translation>
    </message>
    <message>
        <location line="+15"/>
        <source>Please choose an output folder:</source>
        <translation>Bitte wählen Sie einen Ausgabeordner:</translation>
    </message>
</context>
<context>
    <name>wavorax::ui::COptSheet</name>
    <message>
        <location filename="../ui/options/OptSheet.cpp" line="+19"/>
        <source>Options</source>
        <translation>Optionen</translation>
    </message>
    <message>
        <location line="+6"/>
        <source>General</source>
        <translation>Allgemein</translation>
    </message>
    <message>
        <location line="+0"/>
        <source>MP3 Options</source>
        <translation>MP3-Optionen</translation>
    </message>
    <message>
        <location line="+0"/>
        <source>WAV Options</source>
        <translation>WAV-Optionen</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>AAC Options</source>
        <translation>AAC-Optionen</translation>
    </message>
    <message>
        <location line="+0"/>
        <source>MP4/M4A/M4B Options</source>
        <translation>MP4/M4A/M4B-Optionen</translation>
    </message>
    <message>
        <location line="+0"/>
        <source>FLAC / ALAC</source>
        <translation>FLAC / ALAC</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Opus / Vorbis</source>
        <translation>Opus / Vorbis</translation>
    </message>
</context>
<context>
    <name>wavorax::ui::COptWavPage</name>
    <message>
        <location filename="../ui/options/OptWavPage.cpp" line="+30"/>
        <source>Auto</source>
        <translation>Automatisch</translation>
    </message>
    <message>
        <location line="+0"/>
        <source>11025 Hz, 8 bits, Mono (low quality, smaller file size)</source>
        <translation>11025 Hz, 8 Bit, Mono (geringe Qualität, kleinere Dateien)</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>22050 Hz, 16 bits, Stereo (OK quality, small size)</source>
        <translation>22050 Hz, 16 Bit, Stereo (ordentliche Qualität, kleine Dateien)</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>32000 Hz, 16 bits, Stereo (medium quality, normal size)</source>
        <translation>32000 Hz, 16 Bit, Stereo (mittlere Qualität, normale Größe)</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>44100Hz, 16 bits, Stereo (high quality, large size)</source>
        <translation>44100 Hz, 16 Bit, Stereo (hohe Qualität, große Dateien)</translation>
    </message>
    <message>
        <location line="+0"/>
        <source>Custom</source>
        <translation>Benutzerdefiniert</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>%1 Hz</source>
        <translation>%1 Hz</translation>
    </message>
    <message>
        <location line="+1"/>
        <location line="+6"/>
        <source>Same as original file</source>
        <translation>Wie Originaldatei</translation>
    </message>
    <message>
        <location line="-4"/>
        <source>8 bits</source>
        <translation>8 Bit</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>16 bits</source>
        <translation>16 Bit</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>24 bits</source>
        <translation>24 Bit</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>32 bits float</source>
        <translation>32 Bit Gleitkomma</translation>
    </message>
    <message>
        <location line="+5"/>
        <source>Channels:</source>
        <translation>Kanäle:</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>&amp;Stereo</source>
        <translation>&amp;Stereo</translation>
    </message>
    <message>
        <location line="+0"/>
        <source>&amp;Mono</source>
        <translation>&amp;Mono</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Same as &amp;original file</source>
        <translation>Wie &amp;Originaldatei</translation>
    </message>
    <message>
        <location line="+10"/>
        <source>WAV Encoding Parameters</source>
        <translation>Kodierparameter für WAV</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>&amp;Encoding Options:</source>
        <translation>&amp;Kodieroptionen:</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>Sample &amp;Frequency:</source>
        <translation>Ab&amp;tastfrequenz:</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>&amp;Bits:</source>
        <translation>&amp;Bits:</translation>
    </message>
    <message>
        <location line="+6"/>
        <source>Sound</source>
        <translation>Klang</translation>
    </message>
</context>
<context>
    <name>wavorax::ui::CProgressBase</name>
    <message>
        <location filename="../ui/main/ProgressDlg.cpp" line="+64"/>
        <source>Cancel</source>
        <translation>Abbrechen</translation>
    </message>
</context>
<context>
    <name>wavorax::ui::CTagEditDlg</name>
    <message>
        <location filename="../ui/options/TagEditDlg.cpp" line="+42"/>
        <source>Edit ID3 tag</source>
        <translation>ID3-Tag bearbeiten</translation>
    </message>
    <message>
        <location line="+5"/>
        <source>&amp;None</source>
        <translation>Kei&amp;ne</translation>
    </message>
    <message>
        <location line="+0"/>
        <source>&amp;Sequence number in list</source>
        <translation>&amp;Laufende Nummer in der Liste</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>C&amp;ustom</source>
        <translation>&amp;Eigene</translation>
    </message>
    <message>
        <location line="+13"/>
        <source>Nam&amp;e as file name (not include extension)</source>
        <translation>Titel = &amp;Dateiname (ohne Endung)</translation>
    </message>
    <message>
        <location line="+12"/>
        <source>&amp;Track #:</source>
        <translation>&amp;Track-Nr.:</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>T&amp;itle:</source>
        <translation>T&amp;itel:</translation>
    </message>
    <message>
        <location line="+3"/>
        <source>&amp;Artist:</source>
        <translation>&amp;Künstler:</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>Albu&amp;m:</source>
        <translation>Albu&amp;m:</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>&amp;Year:</source>
        <translation>&amp;Jahr:</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>&amp;Genre:</source>
        <translation>&amp;Genre:</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>&amp;Comment:</source>
        <translation>Kommenta&amp;r:</translation>
    </message>
    <message>
        <location line="+4"/>
        <source>OK</source>
        <translation>OK</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Cancel</source>
        <translation>Abbrechen</translation>
    </message>
</context>
</TS>
