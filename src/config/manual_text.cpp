// The description of the settings that follows the lines of "mavlyn.ini": German, the
// marker "==2==", English. The text below is only used at compile time; the program holds
// it scrambled (each byte combined with iv__manualkey of its position) and unscrambles it
// on first use, so that the description cannot be found or altered as plain text in the
// executable.
#include "config/ini_writer.h"

#include <array>
#include <cstddef>

namespace {

// The text is a macro, not an array, so that only its scrambled form becomes data.
#define MANUAL_PLAIN_TEXT                                                                          \
    "*****************************************************\n"                                      \
    "*\n"                                                                                          \
    "* mavlyn 0.4 vom ==DATUM===\n"                                                                \
    "* Einwahl-Manager fuer UMTS- und GPRS-Modems, Datenkarten und WWAN-Router\n"                  \
    "*\n"                                                                                          \
    "* Diese Datei enthaelt alle Einstellungen von mavlyn. Sie wird vom Programm\n"                \
    "* gelesen und bei Bedarf neu geschrieben. Aenderungen sind mit jedem Text-Editor\n"           \
    "* moeglich, bequemer geht es aber mit dem Programmexemplar \"CONFIG\".\n"                     \
    "*\n"                                                                                          \
    "* Aufbau der Datei\n"                                                                         \
    "* ----------------\n"                                                                         \
    "* Jede Einstellung steht in einer eigenen Zeile der Form\n"                                   \
    "*     NN SCHLUESSEL=Wert\n"                                                                   \
    "* NN ist die Zeilennummer. Die Nummern dienen nur der Uebersicht: Zeilen duerfen\n"           \
    "* fehlen, umsortiert sein oder keine Nummer tragen. Gross- und Kleinschreibung\n"             \
    "* des Schluessels spielt keine Rolle, die der Werte dagegen schon (Ausnahmen\n"               \
    "* sind unten genannt). Leerzeichen vor und nach dem Gleichheitszeichen werden\n"              \
    "* ueberlesen. Zeilen, die mit '*' oder '(' beginnen, sind Kommentare, ebenso\n"               \
    "* alles, was hinter der Zeilennummer mit '*' oder '(' beginnt. Unbekannte\n"                  \
    "* Schluessel werden ohne Meldung ignoriert. Ein Wert, der laenger ist als\n"                  \
    "* erlaubt, wird nicht uebernommen; es gilt dann die Voreinstellung.\n"                        \
    "*\n"                                                                                          \
    "* Beim Lesen ist mavlyn tolerant: aeltere Schreibweisen, PIN und Kennwort im\n"               \
    "* Klartext und Werte ausserhalb des erlaubten Bereichs werden korrigiert. Danach\n"           \
    "* schreibt das Programm die ganze Datei in der aktuellen Form neu. Dabei gehen\n"             \
    "* eigene Kommentare und diese Beschreibung verloren bzw. werden erneuert; alle\n"             \
    "* Einstellungen der Zeilen 07 bis 43 bleiben erhalten.\n"                                     \
    "*\n"                                                                                          \
    "* Wer die Datei sofort in die aktuelle Form bringen lassen will, schreibt eine\n"             \
    "* Zeile mit dem Wort INIWRITE hinein. Mit INIWRITEEXIT wird die Datei neu\n"                  \
    "* geschrieben und das Programm danach sofort beendet.\n"                                      \
    "*\n"                                                                                          \
    "* Zeile 01 - Zaehler und Fensterzustand\n"                                                    \
    "* -------------------------------------\n"                                                    \
    "* Die erste Zeile enthaelt das gezaehlte Datenvolumen (in Kilobyte), die\n"                   \
    "* Onlinezeit (in Minuten), den Tag und Monat der letzten Zaehlung, die Position\n"            \
    "* und Form des Programmfensters sowie einen Hinweis-Code. Sie wird waehrend der\n"            \
    "* Verbindung immer wieder an Ort und Stelle aktualisiert. Bitte diese Zeile\n"                \
    "* nicht veraendern; eine Datei, deren erstes Zeichen weder '0' noch '1' ist,\n"               \
    "* gilt als ungueltig und wird neu angelegt.\n"                                                \
    "*\n"                                                                                          \
    "* Zeile 03 - Datenverzeichnis\n"                                                              \
    "* ---------------------------\n"                                                              \
    "* In Zeile 03 kann ein anderes Datenverzeichnis eingetragen werden, z.B.\n"                   \
    "*     03 DIR=/home/benutzer/daten/mavlyn\n"                                                   \
    "* Beim naechsten Start kopiert mavlyn diese Datei dorthin (falls dort noch\n"                 \
    "* keine existiert) und arbeitet kuenftig in diesem Verzeichnis.\n"                            \
    "*\n"                                                                                          \
    "* Zeile 04 - Hinweis\n"                                                                       \
    "* ------------------\n"                                                                       \
    "* Wenn das Programm etwas vom Benutzer braucht (z.B. die PIN oder den APN),\n"                \
    "* steht hier ein Hinweis mit einem Pfeil \"-->\". Der Hinweis wird beim naechsten\n"          \
    "* Neuschreiben der Datei wieder entfernt.\n"                                                  \
    "*\n"                                                                                          \
    "* Die Einstellungen im Einzelnen\n"                                                           \
    "* ------------------------------\n"                                                           \
    "*\n"                                                                                          \
    "* 07 LAN=  Sprache der Bedienoberflaeche: \"Deutsch\" oder \"English\". Es zaehlt\n"          \
    "*          nur der Anfangsbuchstabe (D oder G fuer Deutsch, sonst Englisch).\n"               \
    "*\n"                                                                                          \
    "* 08 COM=  Befehlsschnittstelle (Port) des Modems.\n"                                         \
    "*          leer       automatische Suche bei jedem Programmstart\n"                           \
    "*                     (empfohlen, nutzt \"/dev/serial/by-id\")\n"                             \
    "*          ?          einmalige Suche; das Ergebnis wird hier eingetragen\n"                  \
    "*          NONE       kein Befehlsport (nur Einwahl, keine Modemabfragen)\n"                  \
    "*          /dev/ttyUSB2          fester Port; der Statusport ist dann\n"                      \
    "*                                automatisch der naechste (ttyUSB3)\n"                        \
    "*          /dev/ttyUSB2;/dev/ttyUSB1   Befehlsport und Statusport getrennt\n"                 \
    "*          LINKSYS... bzw. NOLINKSYS   WWAN-Router verwenden bzw. nie suchen\n"               \
    "*\n"                                                                                          \
    "* 09 DEV=  Geraetetyp von Hand festlegen, 0 oder leer = automatisch.\n"                       \
    "*          1 Option, 2 Novatel, 3 Huawei, 4 Sierra, 5 Ericsson, 6 Qualcomm,\n"                \
    "*          7 Samsung, 8 ZTE, 11 Sony-Handy, 12 LG-Handy. Nur noetig, wenn das\n"              \
    "*          Modem nicht richtig erkannt wird.\n"                                               \
    "*\n"                                                                                          \
    "* 10 DEVI= zusaetzliche Initialisierungskommandos, die beim Start an das Modem\n"             \
    "*          geschickt werden, z.B. AT+CGDCONT=1,\"IP\",\"web.vodafone.de\".\n"                 \
    "*          Mehrere Kommandos werden durch \\r getrennt, \\p bedeutet eine\n"                  \
    "*          kurze Pause. Beginnt der Wert mit \\* , so wird das Modem von\n"                   \
    "*          einem anderen Programm initialisiert: mavlyn kuemmert sich dann\n"                 \
    "*          nicht um die PIN.\n"                                                               \
    "*\n"                                                                                          \
    "* 11 PIN=  PIN der SIM-Karte. Sie kann im Klartext eingetragen werden; mavlyn\n"              \
    "*          speichert sie danach verschluesselt (Kennung CRYPT1). NONE oder leer\n"            \
    "*          bedeutet: keine PIN gespeichert. Ist die SIM gesperrt, werden hier\n"              \
    "*          PUK und neue PIN im Format 12345678,1234 eingetragen.\n"                           \
    "*          Mit der Option K in Zeile MOD wird die PIN nie gespeichert, sondern\n"             \
    "*          bei jedem Start abgefragt.\n"                                                      \
    "*\n"                                                                                          \
    "* 12 NET=  Netzauswahl.\n"                                                                    \
    "*          leer       automatisch, alle Netze erlaubt\n"                                      \
    "*          ?          beim naechsten Start die verfuegbaren Netze ermitteln und\n"            \
    "*                     hier eintragen; danach eines davon stehen lassen\n"                     \
    "*          26202      nur dieses Netz (Netzcode oder Netzname)\n"                             \
    "*          ;26201;26202   automatisch, aber Warnung ausserhalb dieser Netze\n"                \
    "*\n"                                                                                          \
    "* 13 APN=  Zugangspunkt (Access Point Name) des Anbieters, z.B. \"surfo2\".\n"                \
    "*          NONE bedeutet: keinen APN setzen. Ist das Feld leer, versucht\n"                   \
    "*          mavlyn den APN fuer einige deutsche Netze selbst zu ermitteln;\n"                  \
    "*          bitte das Ergebnis pruefen.\n"                                                     \
    "*\n"                                                                                          \
    "* 14 PPQ=  USSD-Code fuer die Abfrage des Prepaid-Guthabens, z.B. *100#.\n"                   \
    "*\n"                                                                                          \
    "* 15 PPC=  USSD-Vorlage zum Aufladen des Guthabens. Das Wort <INPUT> wird\n"                  \
    "*          durch den eingegebenen Aufladecode ersetzt, z.B. *104*<INPUT>#.\n"                 \
    "*\n"                                                                                          \
    "* 16 CONA= Verhalten der Verbindung: S = beim Programmstart automatisch\n"                    \
    "*          verbinden, E = beim Programmende automatisch trennen. Beide\n"                     \
    "*          Buchstaben duerfen fehlen oder zusammen stehen (SE).\n"                            \
    "*\n"                                                                                          \
    "* 17 CON=  Datenport fuer die Einwahl. Leer oder \"Internet\" = Voreinstellung\n"             \
    "*          (der Port wird automatisch bestimmt). Ein Geraetename wie\n"                       \
    "*          /dev/ttyUSB0 legt den Port fest; mehrere Ports werden durch Kommas\n"              \
    "*          getrennt und der Reihe nach versucht.\n"                                           \
    "*\n"                                                                                          \
    "* 18 PASS= Benutzername und Kennwort fuer die Einwahl, getrennt durch ';',\n"                 \
    "*          z.B. \"web;web\". Auch diese Angabe wird nach dem ersten Lesen\n"                  \
    "*          verschluesselt gespeichert. Die meisten Anbieter benoetigen keine\n"               \
    "*          Anmeldedaten; dann bleibt das Feld leer.\n"                                        \
    "*\n"                                                                                          \
    "* 19 DAY=  Tag des Monats, an dem der Datenvolumen-Zaehler zurueckgesetzt wird,\n"            \
    "*          dann ';' und derselbe Wert fuer den Onlinezeit-Zaehler.\n"                         \
    "*          0 = Zaehler aus, 1..31 = an diesem Tag, 32 = taeglich, 99 = nie.\n"                \
    "*          Beispiel: DAY=01;01 setzt beide Zaehler am Monatsersten zurueck.\n"                \
    "*\n"                                                                                          \
    "* 20 RND=  Rundung je Verbindung: Datenvolumen in Kilobyte, dann ';' und die\n"               \
    "*          Onlinezeit in Minuten. Beispiel: RND=100;15 rundet jede Verbindung\n"              \
    "*          auf volle 100 kB und volle 15 Minuten auf, wie es viele Tarife tun.\n"             \
    "*\n"                                                                                          \
    "* 21 MAXV= Grenzen fuer das Datenvolumen: Vorwarnung;Warnung;Trennung.\n"                     \
    "*          Zahlen ohne Einheit sind Kilobyte (1 kB = 1000 Byte), M steht fuer\n"              \
    "*          Megabyte, G fuer Gigabyte. Beispiel: MAXV=4G;4500M;5G.\n"                          \
    "*          0 = diese Grenze ist nicht gesetzt. Bitte keine Dezimalzahlen\n"                   \
    "*          verwenden (statt 1,5G besser 1500M).\n"                                            \
    "*\n"                                                                                          \
    "* 22 MAXT= Grenzen fuer die Onlinezeit, ebenso aufgebaut: Zahlen ohne Einheit\n"              \
    "*          sind Minuten, h steht fuer Stunden, d fuer Tage.\n"                                \
    "*          Beispiel: MAXT=50h;55h;60h.\n"                                                     \
    "*\n"                                                                                          \
    "* 23 HOMU= Abfrage des Homezone-Status: eine Internet-Adresse ohne \"http://\"\n"             \
    "*          oder ein USSD-Code. Leer = keine Homezone-Pruefung.\n"                             \
    "*\n"                                                                                          \
    "* 24 HOMI= Text, der in der Antwort auf die Abfrage \"in der Homezone\" bedeutet.\n"          \
    "*\n"                                                                                          \
    "* 25 HOMO= Text, der in der Antwort \"ausserhalb der Homezone\" bedeutet.\n"                  \
    "*          Mit der Option H in Zeile MOD wird die Verbindung ausserhalb der\n"                \
    "*          Homezone getrennt.\n"                                                              \
    "*\n"                                                                                          \
    "* 26 ERR=  Fehlertoleranzen, jeweils Name und Zahl, getrennt durch Leerzeichen:\n"            \
    "*          NOC  Programmende nach so vielen Minuten ohne Verbindung (0 = aus)\n"              \
    "*          FRZ  Toleranz fuer eine \"eingefrorene\" Verbindung\n"                             \
    "*          CRC  Toleranz fuer Pruefsummenfehler\n"                                            \
    "*          TME  Toleranz fuer Zeitueberschreitungen\n"                                        \
    "*          ALG  Toleranz fuer Ausrichtungsfehler\n"                                           \
    "*          FRM  Toleranz fuer Rahmenfehler\n"                                                 \
    "*          BUF  Toleranz fuer Pufferueberlaeufe\n"                                            \
    "*          L    Zeitpunkt der Fehleranzeige: 0 sofort, 2 frueh, 4 normal,\n"                  \
    "*               7 spaet, 9 erst beim Abbruch\n"                                               \
    "*          Voreinstellung: NOC0 FRZ15 CRC50 TME10 ALG10 FRM10 BUF10 L4\n"                     \
    "*\n"                                                                                          \
    "* 27 PING= Pruefung der Internetverbindung.\n"                                                \
    "*          leer            nur passiv (Datenverkehr beobachten)\n"                            \
    "*          eine Adresse    DNS-Probe an diese Adresse, haeufig\n"                             \
    "*          zwei Adressen   (getrennt durch ';') DNS-Probe, zurueckhaltend\n"                  \
    "*          bis zu drei Adressen fuer ICMP-Ping\n"                                             \
    "*\n"                                                                                          \
    "* 28 SDLY= Wartezeit in Sekunden nach dem Programmstart, bevor das Modem\n"                   \
    "*          angesprochen wird, dann ';' und die Wartezeit nach dem Aufwachen\n"                \
    "*          des Rechners aus dem Ruhezustand. Hilfreich bei Modems, die nach\n"                \
    "*          dem Einstecken einige Sekunden brauchen.\n"                                        \
    "*\n"                                                                                          \
    "* 29 ENDM= Verhalten beim Schliessen des Fensters: 0 = vorher fragen,\n"                      \
    "*          1 = ohne Frage beenden, 2 = nur minimieren.\n"                                     \
    "*\n"                                                                                          \
    "* 30 ENDC= taegliches Zeitfenster ohne Verbindung, z.B. ENDC=22:00;06:30.\n"                  \
    "*          In dieser Zeit wird nicht verbunden. Ein angehaengtes E\n"                         \
    "*          (22:00;06:30E) beendet das Programm, wenn das Zeitfenster erreicht\n"              \
    "*          wird. Die Zeiten muessen einen Doppelpunkt oder Punkt enthalten.\n"                \
    "*\n"                                                                                          \
    "* 31 END=  automatisches Ende: Minuten bis zum Ende, gefolgt von Buchstaben:\n"               \
    "*          T  die hoehere der beiden Schwellen fuer \"kein Verkehr\" verwenden\n"             \
    "*          F  die Zeit laeuft unabhaengig vom Datenverkehr ab\n"                              \
    "*             (ohne F zaehlt nur die Zeit ohne Verkehr)\n"                                    \
    "*          C  nur die Verbindung trennen, nicht das Programm beenden\n"                       \
    "*          Z  Programm beenden, wenn der Rechner in den Ruhezustand geht\n"                   \
    "*          S  nach dem automatischen Ende den Rechner herunterfahren\n"                       \
    "*          R  nach dem automatischen Ende den Rechner neu starten\n"                          \
    "*          Beispiel: END=30C trennt nach 30 Minuten ohne Datenverkehr.\n"                     \
    "*\n"                                                                                          \
    "* 32-34 CMD1= bis CMD3=  eigene Shell-Kommandos. Sie werden je nach\n"                        \
    "*          Kennzeichen beim Programmstart, beim Programmende oder bei jeder\n"                \
    "*          Verbindung gestartet, oder per SMS bzw. Anruf (siehe SMS1..SMS3).\n"               \
    "*          Einfache Anfuehrungszeichen werden in doppelte umgewandelt.\n"                     \
    "*\n"                                                                                          \
    "* 35-37 SMS1= bis SMS3=  Fernsteuerung per SMS oder Anruf.\n"                                 \
    "*          +491701234567;STOP   eine SMS dieses Absenders, die mit dem\n"                     \
    "*                               Schluesselwort STOP beginnt, loest das\n"                     \
    "*                               Kommando gleicher Nummer (CMDx) aus.\n"                       \
    "*          ,+491701234567       ein Anruf dieser Nummer loest es aus.\n"                      \
    "*          Das Schluesselwort wird in Grossbuchstaben gespeichert. Jeder\n"                   \
    "*          SMS-Eintrag schaltet den SMS-Empfang (Option M) ein.\n"                            \
    "*\n"                                                                                          \
    "* 38 SMSC= Nummer der SMS-Zentrale im Format +49..., leer = die auf der SIM\n"                \
    "*          gespeicherte Nummer verwenden.\n"                                                  \
    "*\n"                                                                                          \
    "* 39 IPC=  Zugriffsrechte (oktal) des gemeinsamen Speichers, ueber den andere\n"              \
    "*          Programme den Status von mavlyn lesen, z.B. 0660. Leer = Standard.\n"              \
    "*\n"                                                                                          \
    "* 40 ICON= Art des Symbols im Panel: 1 Standard ... 6; 5 = einfarbiges\n"                     \
    "*          Ziffernsymbol.\n"                                                                  \
    "*\n"                                                                                          \
    "* 41 BATT= Akku-Anzeige bei Geraeten mit Akku: ab welchem Ladestand (Prozent)\n"              \
    "*          der Ladestand angezeigt wird, dann ';' und ab welchem Ladestand\n"                 \
    "*          gewarnt wird. Beispiel: BATT=30;10.\n"                                             \
    "*\n"                                                                                          \
    "* 42 MOD=  Optionen, jeweils ein Buchstabe oder eine Ziffer (Gross- und\n"                    \
    "*          Kleinschreibung wird unterschieden):\n"                                            \
    "*          T  Programmfenster immer im Vordergrund\n"                                         \
    "*          B  einfarbige Panel-Symbole in Schwarz\n"                                          \
    "*          D  Mini-Fenster zeigt die Onlinezeit\n"                                            \
    "*          C  Mini-Fenster zeigt die Zellen-Kennung\n"                                        \
    "*          O  gruener Hintergrund bei GPRS\n"                                                 \
    "*          R  Tonsignal bei Netzwechsel\n"                                                    \
    "*          S  Tonsignal bei Zellwechsel\n"                                                    \
    "*          H  ausserhalb der Homezone trennen\n"                                              \
    "*          G  Bildkompression des Anbieters abschalten, wo moeglich\n"                        \
    "*          Z  externe Initialisierung mit APN bei jedem Start loeschen\n"                     \
    "*          F  Signalstaerke haeufiger abfragen\n"                                             \
    "*          I  Zellen-Kennung ins Verbindungsprotokoll schreiben\n"                            \
    "*          J  Signalstaerke ins Verbindungsprotokoll schreiben\n"                             \
    "*          P  Service-Protokoll \"servilog.txt\" schreiben\n"                                 \
    "*          E  Programm bei einem Verbindungsfehler beenden\n"                                 \
    "*          M  SMS-Empfang\n"                                                                  \
    "*          K  PIN nie speichern, bei jedem Start abfragen; Modem-Reset am Ende\n"             \
    "*          Y  Modem-Reset mit AT+CFUN=1,1 am Programmende\n"                                  \
    "*          N  Option-Modems mit Netzwerkadapter: ueber diesen verbinden\n"                    \
    "*          Q  Service-Protokoll auch ueber 250000 Byte hinaus behalten\n"                     \
    "*          X  erweiterte Diagnose (zusaetzliches Protokoll, langsamere Abfragen)\n"           \
    "*          1  Debug-Protokoll der Einwahl\n"                                                  \
    "*          2  Debug-Protokoll der Schnittstellenstatistik\n"                                  \
    "*          8  Testmodus: gezaehltes Volumen mal 10000\n"                                      \
    "*          c  Zaehlerfeld des Mini-Fensters zeigt das Volumen statt der\n"                    \
    "*             Geschwindigkeit\n"                                                              \
    "*          d  Geschwindigkeit auch unter 500 Byte/s anzeigen\n"                               \
    "*          Beispiel: MOD=OPR\n"                                                               \
    "*\n"                                                                                          \
    "* 43 REM=  freier Kommentar, z.B. der Name des Tarifs. Er erscheint im Titel\n"               \
    "*          des Programmfensters.\n"                                                           \
    "*\n"                                                                                          \
    "* Programmexemplare und Betriebsarten\n"                                                      \
    "* -----------------------------------\n"                                                      \
    "* Der Dateiname, unter dem mavlyn gestartet wird, bestimmt die Betriebsart:\n"                \
    "*     GPRS       Einwahl, nur GPRS\n"                                                         \
    "*     UMTS       Einwahl, nur UMTS\n"                                                         \
    "*     GPRSUMTS   Einwahl, GPRS bevorzugt\n"                                                   \
    "*     UMTSGPRS   Einwahl, UMTS bevorzugt\n"                                                   \
    "*     CONN       Einwahl, Betriebsart bestimmt das Modem\n"                                   \
    "*     CONFIG     Einstellungs-Dialog\n"                                                       \
    "*     CONTROL    Anzeige und Steuerung eines laufenden mavlyn\n"                              \
    "*     PROFILE    naechstes Profil auswaehlen\n"                                               \
    "* Die Programmexemplare sind Kopien oder Verknuepfungen derselben Datei. Ein\n"               \
    "* zweiter Start einer Einwahl-Betriebsart beendet die laufende und uebernimmt.\n"             \
    "*\n"                                                                                          \
    "* Profile\n"                                                                                  \
    "* -------\n"                                                                                  \
    "* Fuer mehrere SIM-Karten oder Anbieter koennen weitere INI-Dateien im selben\n"              \
    "* Verzeichnis angelegt werden, z.B. \"arbeit.ini\" und \"urlaub.ini\". Die Datei\n"           \
    "* \"profile.ini\" enthaelt eine Zeile INI=arbeit.ini und legt damit fest, welche\n"           \
    "* Datei verwendet wird. \"PROFILE\" schaltet reihum zum naechsten Profil. Jedes\n"            \
    "* Profil fuehrt sein eigenes Verbindungsprotokoll \"connlog_<Profil>.txt\".\n"                \
    "*\n"                                                                                          \
    "* Parameter beim Aufruf\n"                                                                    \
    "* ---------------------\n"                                                                    \
    "* Jeder Aufruf-Parameter nach dem Programmnamen wird wie eine weitere Zeile\n"                \
    "* dieser Datei gelesen, z.B.  UMTS PIN=1234 INIWRITE\n"                                       \
    "* Aufruf-Parameter ueberschreiben also die Angaben der Datei. Ausserdem gibt\n"               \
    "* es NOSPLASH (kein Startbild), MUTE (keine Tonsignale), STARTTOGGLE (ein\n"                  \
    "* zweiter Aufruf beendet beide) und DIR= (Datenverzeichnis).\n"                               \
    "*\n"                                                                                          \
    "* Protokolle\n"                                                                               \
    "* ----------\n"                                                                               \
    "* connlog.txt     Verbindungsprotokoll mit Volumen und Onlinezeit\n"                          \
    "* servilog.txt    Service-Protokoll (Option P), hilfreich bei Problemen\n"                    \
    "* sms.txt         empfangene SMS (Option M); einzelne SMS in \"sms_in/\"\n"                   \
    "* Wer Hilfe braucht, legt am besten das Service-Protokoll bei; die PIN ist\n"                 \
    "* darin unkenntlich gemacht.\n"                                                               \
    "*\n"                                                                                          \
    "* Befehlsdateien\n"                                                                           \
    "* --------------\n"                                                                           \
    "* Legt ein anderes Programm im Datenverzeichnis eine Datei mavlyn_CONNECT,\n"                 \
    "* mavlyn_DISCONNECT, mavlyn_RECONNECT oder mavlyn_END an, so fuehrt mavlyn\n"                 \
    "* den Befehl aus und loescht die Datei wieder.\n"                                             \
    "*\n"                                                                                          \
    "* Haeufige Probleme\n"                                                                        \
    "* -----------------\n"                                                                        \
    "* \"Modem nicht erkannt\": Modem ausstecken, einige Sekunden warten, wieder\n"                \
    "*   einstecken und mavlyn neu starten. Hilft das nicht, in Zeile COM den\n"                   \
    "*   Port von Hand eintragen oder \"?\" fuer eine einmalige Suche verwenden.\n"                \
    "* \"PIN ungueltig\": die PIN in Zeile 11 pruefen. Nach drei Fehlversuchen\n"                  \
    "*   verlangt die SIM die PUK (siehe Zeile 11).\n"                                             \
    "* Keine Verbindung trotz Netz: APN in Zeile 13 und Anmeldedaten in Zeile 18\n"                \
    "*   mit den Angaben des Anbieters vergleichen.\n"                                             \
    "* Zaehler stimmen nicht: Rundung (RND) und Ruecksetztag (DAY) pruefen.\n"                     \
    "*\n"                                                                                          \
    "* Entfernen\n"                                                                                \
    "* ---------\n"                                                                                \
    "* Zum Entfernen genuegt es, das Datenverzeichnis mit allen Programmexemplaren\n"              \
    "* zu loeschen. Das Deinstallieren des Pakets laesst die Verzeichnisse\n"                      \
    "* \"mavlyn\" der Benutzer stehen; mavlyn_DEBIAN_REMOVE loescht sie.\n"                        \
    "*\n"                                                                                          \
    "* Haftung\n"                                                                                  \
    "* -------\n"                                                                                  \
    "* mavlyn ist Freeware. Trotz grosser Sorgfalt kann keine Garantie fuer\n"                     \
    "* fehlerfreien Betrieb uebernommen werden; die Haftung ist so weit wie\n"                     \
    "* gesetzlich zulaessig ausgeschlossen. Die Kosten der Internetverbindung\n"                   \
    "* traegt der Benutzer; die Zaehler von mavlyn ersetzen nicht die Abrechnung\n"                \
    "* des Anbieters.\n"                                                                           \
    "*\n"                                                                                          \
    "*****************************************************\n"                                      \
    "==2==\n"                                                                                      \
    "*****************************************************\n"                                      \
    "*\n"                                                                                          \
    "* mavlyn 0.4 of ==DATUM===\n"                                                                 \
    "* Dial-up manager for UMTS and GPRS modems, data cards and WWAN routers\n"                    \
    "*\n"                                                                                          \
    "* This file holds all settings of mavlyn. The program reads it and rewrites it\n"             \
    "* when needed. You may change it with any text editor; the program copy \"CONFIG\"\n"         \
    "* offers a more comfortable dialog for the same settings.\n"                                  \
    "*\n"                                                                                          \
    "* Structure of the file\n"                                                                    \
    "* ---------------------\n"                                                                    \
    "* Every setting has a line of its own in the form\n"                                          \
    "*     NN KEY=value\n"                                                                         \
    "* NN is the line number. The numbers are only there for orientation: lines may\n"             \
    "* be missing, in another order or without a number. The case of the key does\n"               \
    "* not matter, the case of the values does (exceptions are named below). Blanks\n"             \
    "* before and after the equals sign are skipped. Lines beginning with '*' or '('\n"            \
    "* are comments, and so is everything that begins with '*' or '(' behind the\n"                \
    "* line number. Unknown keys are ignored without a message. A value that is\n"                 \
    "* longer than allowed is not taken; the default setting then applies.\n"                      \
    "*\n"                                                                                          \
    "* When reading, mavlyn is tolerant: older forms of writing, a PIN or password\n"              \
    "* in plain text and values out of range are corrected. Afterwards the program\n"              \
    "* writes the whole file anew in its current form. Comments of your own and this\n"            \
    "* description are replaced then; all settings of lines 07 to 43 are kept.\n"                  \
    "*\n"                                                                                          \
    "* To have the file brought into its current form at once, add a line with the\n"              \
    "* word INIWRITE. With INIWRITEEXIT the file is rewritten and the program ends\n"              \
    "* right afterwards.\n"                                                                        \
    "*\n"                                                                                          \
    "* Line 01 - counters and window state\n"                                                      \
    "* -----------------------------------\n"                                                      \
    "* The first line holds the counted data volume (in kilobytes), the online time\n"             \
    "* (in minutes), the day and month of the last counting, the position and form\n"              \
    "* of the program window and a hint code. It is updated in place again and\n"                  \
    "* again while a connection is up. Please do not change this line; a file whose\n"             \
    "* first character is neither '0' nor '1' counts as invalid and is created anew.\n"            \
    "*\n"                                                                                          \
    "* Line 03 - data directory\n"                                                                 \
    "* ------------------------\n"                                                                 \
    "* Line 03 may name another data directory, for example\n"                                     \
    "*     03 DIR=/home/user/data/mavlyn\n"                                                        \
    "* At the next start mavlyn copies this file there (unless one exists there\n"                 \
    "* already) and works in that directory from then on.\n"                                       \
    "*\n"                                                                                          \
    "* Line 04: hint\n"                                                                            \
    "* -------------\n"                                                                            \
    "* When the program needs something from the user (for example the PIN or the\n"               \
    "* APN), a hint with an arrow \"-->\" appears here. The hint is removed again the\n"           \
    "* next time the file is rewritten.\n"                                                         \
    "*\n"                                                                                          \
    "* The settings one by one\n"                                                                  \
    "* -----------------------\n"                                                                  \
    "*\n"                                                                                          \
    "* 07 LAN=  Language of the user interface: \"Deutsch\" or \"English\". Only the\n"            \
    "*          first letter counts (D or G for German, anything else English).\n"                 \
    "*\n"                                                                                          \
    "* 08 COM=  Command port of the modem.\n"                                                      \
    "*          empty      automatic search at every program start\n"                              \
    "*                     (recommended, uses \"/dev/serial/by-id\")\n"                            \
    "*          ?          search once; the result is entered here\n"                              \
    "*          NONE       no command port (dial-up only, no modem queries)\n"                     \
    "*          /dev/ttyUSB2          fixed port; the status port is then the\n"                   \
    "*                                next one automatically (ttyUSB3)\n"                          \
    "*          /dev/ttyUSB2;/dev/ttyUSB1   command port and status port apart\n"                  \
    "*          LINKSYS... or NOLINKSYS     use a WWAN router, or never search one\n"              \
    "*\n"                                                                                          \
    "* 09 DEV=  Device type set by hand, 0 or empty = automatic.\n"                                \
    "*          1 Option, 2 Novatel, 3 Huawei, 4 Sierra, 5 Ericsson, 6 Qualcomm,\n"                \
    "*          7 Samsung, 8 ZTE, 11 Sony phone, 12 LG phone. Only needed when the\n"              \
    "*          modem is not recognised correctly.\n"                                              \
    "*\n"                                                                                          \
    "* 10 DEVI= Additional initialisation commands sent to the modem at the start,\n"              \
    "*          for example AT+CGDCONT=1,\"IP\",\"web.vodafone.de\".\n"                            \
    "*          Several commands are separated by \\r, \\p stands for a short\n"                   \
    "*          pause. A value beginning with \\* means that another program\n"                    \
    "*          initialises the modem: mavlyn then leaves the PIN alone.\n"                        \
    "*\n"                                                                                          \
    "* 11 PIN=  PIN of the SIM card. It may be entered in plain text; mavlyn then\n"               \
    "*          stores it scrambled (marked CRYPT1). NONE or empty means that no\n"                \
    "*          PIN is stored. When the SIM is locked, enter the PUK and a new PIN\n"              \
    "*          here in the form 12345678,1234.\n"                                                 \
    "*          With option K in line MOD the PIN is never stored but asked for at\n"              \
    "*          every start.\n"                                                                    \
    "*\n"                                                                                          \
    "* 12 NET=  Network choice.\n"                                                                 \
    "*          empty      automatic, all networks allowed\n"                                      \
    "*          ?          find the available networks at the next start and enter\n"              \
    "*                     them here; then leave the one you want\n"                               \
    "*          26202      this network only (network code or network name)\n"                     \
    "*          ;26201;26202   automatic, but warn outside these networks\n"                       \
    "*\n"                                                                                          \
    "* 13 APN=  Access point name of the provider, for example \"surfo2\".\n"                      \
    "*          NONE means that no APN is set. When the field is empty, mavlyn\n"                  \
    "*          tries to find the APN for some German networks itself; please\n"                   \
    "*          review the result.\n"                                                              \
    "*\n"                                                                                          \
    "* 14 PPQ=  USSD code that asks for the prepaid credit, for example *100#.\n"                  \
    "*\n"                                                                                          \
    "* 15 PPC=  USSD template that tops up the credit. The word <INPUT> is replaced\n"             \
    "*          by the voucher code you enter, for example *104*<INPUT>#.\n"                       \
    "*\n"                                                                                          \
    "* 16 CONA= Behaviour of the connection: S = connect automatically at program\n"               \
    "*          start, E = disconnect automatically at program end. Either letter\n"               \
    "*          may be missing, or both may be given (SE).\n"                                      \
    "*\n"                                                                                          \
    "* 17 CON=  Data port for the dial-up. Empty or \"Internet\" = default (the port\n"            \
    "*          is found automatically). A device name such as /dev/ttyUSB0 fixes\n"               \
    "*          the port; several ports are separated by commas and tried in turn.\n"              \
    "*\n"                                                                                          \
    "* 18 PASS= User name and password for the dial-up, separated by ';', for\n"                   \
    "*          example \"web;web\". This, too, is stored scrambled after it\n"                    \
    "*          has been read for the first time. Most providers do not need any\n"                \
    "*          login data; then the field stays empty.\n"                                         \
    "*\n"                                                                                          \
    "* 19 DAY=  Day of the month on which the data volume counter is reset, then\n"                \
    "*          ';' and the same value for the online time counter.\n"                             \
    "*          0 = counter off, 1..31 = on that day, 32 = daily, 99 = never.\n"                   \
    "*          Example: DAY=01;01 resets both counters on the first of the month.\n"              \
    "*\n"                                                                                          \
    "* 20 RND=  Rounding per connection: data volume in kilobytes, then ';' and the\n"             \
    "*          online time in minutes. Example: RND=100;15 rounds every connection\n"             \
    "*          up to full 100 kB and full 15 minutes, as many tariffs do.\n"                      \
    "*\n"                                                                                          \
    "* 21 MAXV= Limits of the data volume: pre-warning;warning;disconnection.\n"                   \
    "*          Numbers without a unit are kilobytes (1 kB = 1000 bytes), M stands\n"              \
    "*          for megabytes, G for gigabytes. Example: MAXV=4G;4500M;5G.\n"                      \
    "*          0 = this limit is not set. Please do not use decimal numbers\n"                    \
    "*          (instead of 1,5G better write 1500M).\n"                                           \
    "*\n"                                                                                          \
    "* 22 MAXT= Limits of the online time, in the same form: numbers without a\n"                  \
    "*          unit are minutes, h stands for hours, d for days.\n"                               \
    "*          Example: MAXT=50h;55h;60h.\n"                                                      \
    "*\n"                                                                                          \
    "* 23 HOMU= Query of the homezone state: an Internet address without \"http://\"\n"            \
    "*          or a USSD code. Empty = no homezone check.\n"                                      \
    "*\n"                                                                                          \
    "* 24 HOMI= Text whose presence in the answer means \"inside the homezone\".\n"                \
    "*\n"                                                                                          \
    "* 25 HOMO= Text whose presence in the answer means \"outside the homezone\".\n"               \
    "*          With option H in line MOD the connection is ended outside the\n"                   \
    "*          homezone.\n"                                                                       \
    "*\n"                                                                                          \
    "* 26 ERR=  Error tolerances, each a name and a number, separated by blanks:\n"                \
    "*          NOC  end the program after so many minutes offline (0 = off)\n"                    \
    "*          FRZ  tolerance for a \"frozen\" link\n"                                            \
    "*          CRC  tolerance for checksum errors\n"                                              \
    "*          TME  tolerance for time-outs\n"                                                    \
    "*          ALG  tolerance for alignment errors\n"                                             \
    "*          FRM  tolerance for frame errors\n"                                                 \
    "*          BUF  tolerance for buffer overflows\n"                                             \
    "*          L    when connection errors are shown: 0 at once, 2 early,\n"                      \
    "*               4 standard, 7 late, 9 only at termination\n"                                  \
    "*          Default: NOC0 FRZ15 CRC50 TME10 ALG10 FRM10 BUF10 L4\n"                            \
    "*\n"                                                                                          \
    "* 27 PING= Check of the Internet connection.\n"                                               \
    "*          empty            passive only (traffic is watched)\n"                              \
    "*          one address      DNS probe to this address, frequent\n"                            \
    "*          two addresses    (separated by ';') DNS probe, soft\n"                             \
    "*          up to three addresses for ICMP ping\n"                                             \
    "*\n"                                                                                          \
    "* 28 SDLY= Seconds to wait after the program start before the modem is first\n"               \
    "*          used, then ';' and the seconds to wait after the computer resumes\n"               \
    "*          from standby. Helpful for modems that need a few seconds after they\n"             \
    "*          have been plugged in.\n"                                                           \
    "*\n"                                                                                          \
    "* 29 ENDM= What closing the window does: 0 = ask first, 1 = end without\n"                    \
    "*          asking, 2 = minimise only.\n"                                                      \
    "*\n"                                                                                          \
    "* 30 ENDC= Daily time window without connection, for example\n"                               \
    "*          ENDC=22:00;06:30. No connection is made during this time. An E at\n"               \
    "*          the end (22:00;06:30E) ends the program when the window is reached.\n"             \
    "*          The times must contain a colon or a full stop.\n"                                  \
    "*\n"                                                                                          \
    "* 31 END=  Automatic end: minutes until the end, followed by letters:\n"                      \
    "*          T  use the higher of the two \"no traffic\" thresholds\n"                          \
    "*          F  the time runs regardless of the traffic\n"                                      \
    "*             (without F only time without traffic counts)\n"                                 \
    "*          C  end the connection only, not the program\n"                                     \
    "*          Z  end the program when the computer goes to standby\n"                            \
    "*          S  shut the computer down after the automatic end\n"                               \
    "*          R  restart the computer after the automatic end\n"                                 \
    "*          Example: END=30C disconnects after 30 minutes without traffic.\n"                  \
    "*\n"                                                                                          \
    "* 32-34 CMD1= to CMD3=  Shell commands of your own. Depending on their mark\n"                \
    "*          they are started at program start, at program end or at every\n"                   \
    "*          connection, or by SMS or call (see SMS1..SMS3). Single quotes are\n"               \
    "*          turned into double quotes.\n"                                                      \
    "*\n"                                                                                          \
    "* 35-37 SMS1= to SMS3=  Remote control by SMS or call.\n"                                     \
    "*          +491701234567;STOP   an SMS from this sender that begins with the\n"               \
    "*                               keyword STOP starts the command of the same\n"                \
    "*                               number (CMDx).\n"                                             \
    "*          ,+491701234567       a call from this number starts it.\n"                         \
    "*          The keyword is stored in capital letters. Every SMS entry switches\n"              \
    "*          the SMS reception (option M) on.\n"                                                \
    "*\n"                                                                                          \
    "* 38 SMSC= Number of the SMS service centre in the form +49..., empty = use the\n"            \
    "*          number stored on the SIM.\n"                                                       \
    "*\n"                                                                                          \
    "* 39 IPC=  Access rights (octal) of the shared memory through which other\n"                  \
    "*          programs read the state of mavlyn, for example 0660. Empty = default.\n"           \
    "*\n"                                                                                          \
    "* 40 ICON= Style of the panel icon: 1 standard ... 6; 5 = monochrome digit\n"                 \
    "*          icon.\n"                                                                           \
    "*\n"                                                                                          \
    "* 41 BATT= Battery display for devices with a battery: below which charge\n"                  \
    "*          (percent) the charge is shown, then ';' and below which charge a\n"                \
    "*          warning is given. Example: BATT=30;10.\n"                                          \
    "*\n"                                                                                          \
    "* 42 MOD=  Options, one letter or digit each (upper and lower case differ):\n"                \
    "*          T  program window always on top\n"                                                 \
    "*          B  monochrome panel icons in black\n"                                              \
    "*          D  mini window shows the online time\n"                                            \
    "*          C  mini window shows the cell id\n"                                                \
    "*          O  green background while on GPRS\n"                                               \
    "*          R  tone signal at a change of network\n"                                           \
    "*          S  tone signal at a cell hand-over\n"                                              \
    "*          H  disconnect outside the homezone\n"                                              \
    "*          G  switch the operator's graphics compression off where possible\n"                \
    "*          Z  delete external initialisation with APN at every start\n"                       \
    "*          F  query the signal strength more often\n"                                         \
    "*          I  write the cell id into the connection log\n"                                    \
    "*          J  write the signal strength into the connection log\n"                            \
    "*          P  write the service log \"servilog.txt\"\n"                                       \
    "*          E  end the program at a connection error\n"                                        \
    "*          M  SMS reception\n"                                                                \
    "*          K  never store the PIN, ask at every start; reset the modem at end\n"              \
    "*          Y  reset the modem with AT+CFUN=1,1 at program end\n"                              \
    "*          N  Option modems with a network adapter: connect through it\n"                     \
    "*          Q  keep the service log beyond 250000 bytes\n"                                     \
    "*          X  extended diagnostics (extra log, slower queries)\n"                             \
    "*          1  debug log of the dial-up\n"                                                     \
    "*          2  debug log of the interface statistics\n"                                        \
    "*          8  test mode: counted volume times 10000\n"                                        \
    "*          c  the counter field of the mini window shows the volume instead\n"                \
    "*             of the speed\n"                                                                 \
    "*          d  show the speed also below 500 bytes per second\n"                               \
    "*          Example: MOD=OPR\n"                                                                \
    "*\n"                                                                                          \
    "* 43 REM=  Free comment, for example the name of the tariff. It appears in the\n"             \
    "*          title of the program window.\n"                                                    \
    "*\n"                                                                                          \
    "* Program copies and roles\n"                                                                 \
    "* ------------------------\n"                                                                 \
    "* The file name under which mavlyn is started selects its role:\n"                            \
    "*     GPRS       dial-up, GPRS only\n"                                                        \
    "*     UMTS       dial-up, UMTS only\n"                                                        \
    "*     GPRSUMTS   dial-up, GPRS preferred\n"                                                   \
    "*     UMTSGPRS   dial-up, UMTS preferred\n"                                                   \
    "*     CONN       dial-up, the modem chooses the mode\n"                                       \
    "*     CONFIG     settings dialog\n"                                                           \
    "*     CONTROL    display and control of a running mavlyn\n"                                   \
    "*     PROFILE    switch to the next profile\n"                                                \
    "* The program copies are copies of, or links to, the same file. A second\n"                   \
    "* start of a dial-up role ends the running one and takes over.\n"                             \
    "*\n"                                                                                          \
    "* Profiles\n"                                                                                 \
    "* --------\n"                                                                                 \
    "* For several SIM cards or providers further INI files may be placed in the\n"                \
    "* same directory, for example \"work.ini\" and \"holiday.ini\". The file\n"                   \
    "* \"profile.ini\" holds a line INI=work.ini and so selects the file in use.\n"                \
    "* \"PROFILE\" switches to the next profile in turn. Every profile keeps a\n"                  \
    "* connection log of its own, \"connlog_<profile>.txt\".\n"                                    \
    "*\n"                                                                                          \
    "* Parameters on the command line\n"                                                           \
    "* ------------------------------\n"                                                           \
    "* Every parameter after the program name is read like a line of this file,\n"                 \
    "* for example  UMTS PIN=1234 INIWRITE\n"                                                      \
    "* So parameters override the lines of the file. In addition there are\n"                      \
    "* NOSPLASH (no splash window), MUTE (no tone signals), STARTTOGGLE (a second\n"               \
    "* start ends both) and DIR= (data directory).\n"                                              \
    "*\n"                                                                                          \
    "* Logs\n"                                                                                     \
    "* ----\n"                                                                                     \
    "* connlog.txt     connection log with volume and online time\n"                               \
    "* servilog.txt    service log (option P), helpful with problems\n"                            \
    "* sms.txt         received SMS (option M); single SMS in \"sms_in/\"\n"                       \
    "* Please attach the service log when asking for help; the PIN is masked.\n"                   \
    "*\n"                                                                                          \
    "* Command files\n"                                                                            \
    "* -------------\n"                                                                            \
    "* When another program creates a file mavlyn_CONNECT, mavlyn_DISCONNECT,\n"                   \
    "* mavlyn_RECONNECT or mavlyn_END in the data directory, mavlyn carries out the\n"             \
    "* command and deletes the file again.\n"                                                      \
    "*\n"                                                                                          \
    "* Common problems\n"                                                                          \
    "* ---------------\n"                                                                          \
    "* \"Modem not recognized\": unplug the modem, wait a few seconds, plug it in\n"               \
    "*   again and restart mavlyn. If that does not help, enter the port by hand\n"                \
    "*   in line COM, or use \"?\" for a one-time search.\n"                                       \
    "* \"PIN is not valid\": check the PIN in line 11. After three failed attempts\n"              \
    "*   the SIM asks for the PUK (see line 11).\n"                                                \
    "* No connection although a network is there: compare the APN in line 13 and\n"                \
    "*   the login in line 18 with the provider's information.\n"                                  \
    "* Counters look wrong: check the rounding (RND) and the reset day (DAY).\n"                   \
    "*\n"                                                                                          \
    "* Removal\n"                                                                                  \
    "* -------\n"                                                                                  \
    "* To remove mavlyn it is enough to delete the data directory with all program\n"              \
    "* copies. Uninstalling the package keeps the users' directories\n"                            \
    "* \"mavlyn\" (only mavlyn_DEBIAN_REMOVE as root deletes them).\n"                             \
    "*\n"                                                                                          \
    "* Liability\n"                                                                                \
    "* ---------\n"                                                                                \
    "* mavlyn is freeware. Despite great care no guarantee of flawless work\n"                     \
    "* can be given; liability is excluded as far as the law permits. The costs\n"                 \
    "* of the Internet connection are borne by the user; the counters of mavlyn do\n"              \
    "* not replace the provider's bill.\n"                                                         \
    "*\n"                                                                                          \
    "*****************************************************\n"

// The literal only passes through constant evaluation as a template argument; it is never
// an object of the program.
template <size_t N> struct PlainText {
    char s[N];
    consteval PlainText(const char (&a)[N]) {
        for (size_t i = 0; i < N; i++) s[i] = a[i];
    }
};

template <PlainText P> consteval auto scramble() {
    std::array<unsigned char, sizeof(P.s) - 1> out{};
    for (size_t i = 0; i < out.size(); i++)
        out[i] = static_cast<unsigned char>(static_cast<unsigned char>(P.s[i]) ^ iv__manualkey(i));
    return out;
}

constexpr auto scrambled = scramble<PlainText(MANUAL_PLAIN_TEXT)>();
static_assert(scrambled.size() == 31708);

} // namespace

const unsigned char* iv__manualdata(size_t* len) {
    if (len) *len = scrambled.size();
    return scrambled.data();
}
