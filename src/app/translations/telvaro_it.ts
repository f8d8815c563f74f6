<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="it_IT">
<context>
    <name>AboutBox</name>
    <message>
        <source>Telvaro -&gt; About</source>
        <translation>Telvaro -&gt; Informazioni</translation>
    </message>
    <message>
        <source>&lt;b&gt;Telvaro&lt;/b&gt; - M-Bus configuration and meter-reading utility</source>
        <translation>&lt;b&gt;Telvaro&lt;/b&gt; - utilità di configurazione M-Bus e lettura contatori</translation>
    </message>
    <message>
        <source>Version %1</source>
        <translation>Versione %1</translation>
    </message>
    <message>
        <source>OK</source>
        <translation>OK</translation>
    </message>
</context>
<context>
    <name>AccountFile</name>
    <message>
        <source>it is not a plain file</source>
        <translation>non è un file normale</translation>
    </message>
    <message>
        <source>it is too large to be an account file</source>
        <translation>è troppo grande per essere un file degli account</translation>
    </message>
    <message>
        <source>The account file %1 cannot be read: %2.</source>
        <translation>Il file degli account %1 non può essere letto: %2.</translation>
    </message>
    <message>
        <source>only part of it could be written</source>
        <translation>solo una parte è stata scritta</translation>
    </message>
    <message>
        <source>The account file %1 could not be written (%2). It is unchanged.</source>
        <translation>Il file degli account %1 non è stato scritto (%2). È rimasto invariato.</translation>
    </message>
    <message>
        <source>The account file is being changed by another program. Try again in a moment.</source>
        <translation>Il file degli account è in modifica da parte di un altro programma. Riprova tra un momento.</translation>
    </message>
    <message>
        <source>An account needs a user name.</source>
        <translation>Un account richiede un nome utente.</translation>
    </message>
    <message>
        <source>An account needs a password.</source>
        <translation>Un account richiede una password.</translation>
    </message>
    <message>
        <source>An account needs an access level.</source>
        <translation>Un account richiede un livello di accesso.</translation>
    </message>
    <message>
        <source>User name, password and access level can hold only Latin-1 characters.</source>
        <translation>Nome utente, password e livello di accesso possono contenere solo caratteri Latin-1.</translation>
    </message>
    <message>
        <source>The last Administrator account must keep the Administrator level.</source>
        <translation>L&apos;ultimo account Administrator deve mantenere il livello Administrator.</translation>
    </message>
    <message>
        <source>Account &quot;%1&quot; changed.</source>
        <translation>Account &quot;%1&quot; modificato.</translation>
    </message>
    <message>
        <source>Account &quot;%1&quot; added.</source>
        <translation>Account &quot;%1&quot; aggiunto.</translation>
    </message>
    <message>
        <source>No account has the Administrator level, so no account can be deleted.</source>
        <translation>Nessun account ha il livello Administrator, quindi nessun account può essere eliminato.</translation>
    </message>
    <message>
        <source>The account &quot;admin&quot; cannot be deleted.</source>
        <translation>L&apos;account &quot;admin&quot; non può essere eliminato.</translation>
    </message>
    <message>
        <source>There is no account named &quot;%1&quot;.</source>
        <translation>Non esiste un account di nome &quot;%1&quot;.</translation>
    </message>
    <message>
        <source>The last Administrator account cannot be deleted.</source>
        <translation>L&apos;ultimo account Administrator non può essere eliminato.</translation>
    </message>
    <message>
        <source>Account &quot;%1&quot; deleted.</source>
        <translation>Account &quot;%1&quot; eliminato.</translation>
    </message>
</context>
<context>
    <name>AutoAddressing</name>
    <message>
        <source>Auto addressing</source>
        <translation>Indirizzamento automatico</translation>
    </message>
    <message>
        <source>address %1 was sent to meter %2 but not confirmed</source>
        <translation>l&apos;indirizzo %1 è stato inviato al contatore %2 ma non confermato</translation>
    </message>
    <message>
        <source>meter %1: %2</source>
        <translation>contatore %1: %2</translation>
    </message>
</context>
<context>
    <name>BusSession</name>
    <message>
        <source>Another operation is using the bus, nothing sent...</source>
        <translation>Un&apos;altra operazione sta usando il bus, nulla è stato inviato...</translation>
    </message>
</context>
<context>
    <name>CustomCommand</name>
    <message>
        <source>Custom command</source>
        <translation>Comando personalizzato</translation>
    </message>
    <message>
        <source>custom command %1 was sent but not confirmed</source>
        <translation>il comando personalizzato %1 è stato inviato ma non confermato</translation>
    </message>
</context>
<context>
    <name>DevicesPage</name>
    <message>
        <source>   Search network    </source>
        <translation>   Scansione Rete   </translation>
    </message>
    <message>
        <source>From address</source>
        <translation>Da indirizzo</translation>
    </message>
    <message>
        <source>To address</source>
        <translation>A indirizzo</translation>
    </message>
    <message>
        <source>Timeout [ms]</source>
        <translation>Attesa risposta [ms]</translation>
    </message>
    <message>
        <source>Send NKE first</source>
        <translation>Invia prima NKE</translation>
    </message>
    <message>
        <source>By Secondary address:</source>
        <translation>Per indirizzo secondario:</translation>
    </message>
    <message>
        <source>By primary address:</source>
        <translation>Per indirizzo primario:</translation>
    </message>
    <message>
        <source>Find</source>
        <translation>Trova</translation>
    </message>
    <message>
        <source>Find all</source>
        <translation>Trova tutti</translation>
    </message>
    <message>
        <source>Stop Secondary</source>
        <translation>Ferma secondaria</translation>
    </message>
    <message>
        <source>   Basic Config.   </source>
        <translation>   Config. base   </translation>
    </message>
    <message>
        <source>Reset Status</source>
        <translation>Reset stato</translation>
    </message>
    <message>
        <source>New address:</source>
        <translation>Nuovo indirizzo:</translation>
    </message>
    <message>
        <source>Set </source>
        <translation>Imposta </translation>
    </message>
    <message>
        <source>Set value to:</source>
        <translation>Imposta valore a:</translation>
    </message>
    <message>
        <source>GIN</source>
        <translation>GIN</translation>
    </message>
    <message>
        <source>Set</source>
        <translation>Imposta</translation>
    </message>
    <message>
        <source>   Advanced  Config.   </source>
        <translation>   Config. avanzata   </translation>
    </message>
    <message>
        <source>Medium:</source>
        <translation>Mezzo:</translation>
    </message>
    <message>
        <source>Unit:</source>
        <translation>Unità:</translation>
    </message>
    <message>
        <source>Const.:</source>
        <translation>Cost.:</translation>
    </message>
    <message>
        <source>Relay</source>
        <translation>Relè</translation>
    </message>
    <message>
        <source>Baud rate:</source>
        <translation>Velocità:</translation>
    </message>
    <message>
        <source>New ID:</source>
        <translation>Nuovo ID:</translation>
    </message>
    <message>
        <source>work on broadcast (0xFE)</source>
        <translation>lavora in broadcast (0xFE)</translation>
    </message>
    <message>
        <source>Read selected</source>
        <translation>Leggi selezionati</translation>
    </message>
    <message>
        <source>Clear table</source>
        <translation>Cancella tabella</translation>
    </message>
    <message>
        <source>Load</source>
        <translation>Carica</translation>
    </message>
    <message>
        <source>Save / Export</source>
        <translation>Salva / Esporta</translation>
    </message>
    <message>
        <source>from</source>
        <translation>da</translation>
    </message>
    <message>
        <source>ID:</source>
        <translation>ID:</translation>
    </message>
    <message>
        <source>Addr.:</source>
        <translation>Indir.:</translation>
    </message>
    <message>
        <source>History...</source>
        <translation>Storico...</translation>
    </message>
    <message>
        <source>The value is written in litres, whatever unit the meter shows.</source>
        <translation>Il valore viene scritto in litri, qualunque sia l&apos;unità mostrata dal contatore.</translation>
    </message>
    <message>
        <source>litres</source>
        <extracomment>The unit &quot;Set value to:&quot; writes in, beside its field.</extracomment>
        <translation>litri</translation>
    </message>
</context>
<context>
    <name>DisplayPage</name>
    <message>
        <source>Read data from TEV-K40</source>
        <translation>Leggi dati da TEV-K40</translation>
    </message>
    <message>
        <source>Delete selected device/row</source>
        <translation>Elimina dispositivo/riga selezionata</translation>
    </message>
    <message>
        <source>Zero start value</source>
        <translation>Azzera valore iniziale</translation>
    </message>
    <message>
        <source>Date and Time</source>
        <translation>Data e ora</translation>
    </message>
    <message>
        <source>Set Refresh time</source>
        <translation>Imposta tempo di aggiornamento</translation>
    </message>
    <message>
        <source>Create sort table</source>
        <translation>Crea tabella di ordinamento</translation>
    </message>
    <message>
        <source>Sort</source>
        <translation>Ordina</translation>
    </message>
    <message>
        <source>Update readings </source>
        <translation>Aggiorna letture </translation>
    </message>
    <message>
        <source>Get info</source>
        <translation>Leggi info</translation>
    </message>
    <message>
        <source>Get data from m-bus devices</source>
        <translation>Acquisisci dati dai dispositivi m-bus</translation>
    </message>
    <message>
        <source>Import</source>
        <translation>Importa</translation>
    </message>
    <message>
        <source>Export</source>
        <translation>Esporta</translation>
    </message>
    <message>
        <source>Add row</source>
        <translation>Aggiungi riga</translation>
    </message>
    <message>
        <source>Delete row</source>
        <translation>Elimina riga</translation>
    </message>
    <message>
        <source>Select all</source>
        <translation>Seleziona tutto</translation>
    </message>
    <message>
        <source>Deselect all</source>
        <translation>Deseleziona tutto</translation>
    </message>
    <message>
        <source>Clear table</source>
        <translation>Cancella tabella</translation>
    </message>
    <message>
        <source>Set display refresh time, s</source>
        <translation>Tempo di aggiornamento display, s</translation>
    </message>
    <message>
        <source>by address</source>
        <translation>per indirizzo</translation>
    </message>
    <message>
        <source>by user numb.</source>
        <translation>per num. utente</translation>
    </message>
    <message>
        <source>RUX-T</source>
        <translation>RUX-T</translation>
    </message>
    <message>
        <source>   General info   </source>
        <translation>   Info generali   </translation>
    </message>
    <message>
        <source>Stop</source>
        <translation>Ferma</translation>
    </message>
</context>
<context>
    <name>Exchange</name>
    <message>
        <source>%1 byte(s) came too late for their request and were dropped: %2</source>
        <translation>%1 byte arrivati troppo tardi per la loro richiesta sono stati scartati: %2</translation>
    </message>
    <message>
        <source>Telegram %1 did not arrive, the reading holds the first %2...</source>
        <translation>Il telegramma %1 non è arrivato, la lettura contiene i primi %2...</translation>
    </message>
    <message>
        <source>The meter started its reading over: the reading holds the first %1 telegram(s)...</source>
        <translation>Il contatore ha ricominciato la lettura: la lettura contiene i primi %1 telegrammi...</translation>
    </message>
    <message>
        <source>%1 telegrams read and the meter announces more: the reading ends here...</source>
        <translation>%1 telegrammi letti e il contatore ne annuncia altri: la lettura finisce qui...</translation>
    </message>
    <message>
        <source>The meter at %1 answers after the timeout: its reading is awaited once more...</source>
        <translation>Il contatore all&apos;indirizzo %1 risponde dopo il timeout: la sua lettura viene attesa ancora una volta...</translation>
    </message>
    <message>
        <source>Telegram %1 came again: the next one is asked for once more...</source>
        <translation>Il telegramma %1 è arrivato di nuovo: il successivo viene richiesto ancora una volta...</translation>
    </message>
    <message>
        <source>Telegram %1 came again, the reading holds the first %1...</source>
        <translation>Il telegramma %1 è arrivato di nuovo, la lettura contiene i primi %1...</translation>
    </message>
    <message>
        <source>The meter has more telegrams waiting: &quot;Read all telegrams&quot; (--all-telegrams) reads them...</source>
        <translation>Il contatore ha altri telegrammi in attesa: &quot;Leggi tutti i telegrammi&quot; (--all-telegrams) li legge...</translation>
    </message>
    <message>
        <source>No acknowledgement: sent again (try %1 of %2)...</source>
        <translation>Nessuna conferma: inviato di nuovo (tentativo %1 di %2)...</translation>
    </message>
    <message>
        <source>An answer began after the standard&apos;s answer window: every answer is awaited for the response timeout from here on...</source>
        <translation>Una risposta è iniziata dopo la finestra di risposta dello standard: d&apos;ora in poi ogni risposta viene attesa per tutto il timeout...</translation>
    </message>
    <message>
        <source>An answer came after its response timeout: every answer is awaited twice as long from here on...</source>
        <translation>Una risposta è arrivata dopo il suo timeout: da qui in poi ogni risposta è attesa il doppio...</translation>
    </message>
</context>
<context>
    <name>FullReportWindow</name>
    <message>
        <source>Save report</source>
        <translation>Salva rapporto</translation>
    </message>
    <message>
        <source>TXT files (*.txt)</source>
        <translation>File TXT (*.txt)</translation>
    </message>
    <message>
        <source>Detailed m-bus report</source>
        <translation>Rapporto m-bus dettagliato</translation>
    </message>
    <message>
        <source>Clear</source>
        <translation>Cancella</translation>
    </message>
    <message>
        <source>Save</source>
        <translation>Salva</translation>
    </message>
    <message>
        <source>Close</source>
        <translation>Chiudi</translation>
    </message>
</context>
<context>
    <name>HistoryWindow</name>
    <message>
        <source>History</source>
        <translation>Storico</translation>
    </message>
    <message>
        <source>Save / Export</source>
        <translation>Salva / Esporta</translation>
    </message>
    <message>
        <source>Close</source>
        <translation>Chiudi</translation>
    </message>
    <message>
        <source>Read at</source>
        <translation>Letto il</translation>
    </message>
    <message>
        <source>Addr.</source>
        <translation>Indir.</translation>
    </message>
    <message>
        <source>Route</source>
        <translation>Percorso</translation>
    </message>
    <message>
        <source>Status</source>
        <translation>Stato</translation>
    </message>
    <message>
        <source>Value</source>
        <translation>Valore</translation>
    </message>
    <message>
        <source>Unit</source>
        <translation>Unità</translation>
    </message>
    <message>
        <source>Change</source>
        <translation>Variazione</translation>
    </message>
    <message numerus="yes">
        <source>Meter %1: %n reading(s)</source>
        <translation>
            <numerusform>Contatore %1: %n lettura</numerusform>
            <numerusform>Contatore %1: %n letture</numerusform>
        </translation>
    </message>
    <message>
        <source>, storage %1</source>
        <translation>, memoria %1</translation>
    </message>
    <message>
        <source>, tariff %1</source>
        <translation>, tariffa %1</translation>
    </message>
    <message>
        <source>, sub-unit %1</source>
        <translation>, sottounità %1</translation>
    </message>
    <message>
        <source>Meter %1: asking the readings archive...</source>
        <translation>Contatore %1: interrogazione dell&apos;archivio letture...</translation>
    </message>
    <message>
        <source>Station</source>
        <translation>Stazione</translation>
    </message>
    <message>
        <source>, record %1</source>
        <translation>, voce %1</translation>
    </message>
    <message>
        <source>Time</source>
        <translation>Ora</translation>
    </message>
    <message>
        <source>Energy</source>
        <translation>Energia</translation>
    </message>
    <message>
        <source>Volume</source>
        <translation>Volume</translation>
    </message>
    <message>
        <source>Power</source>
        <translation>Potenza</translation>
    </message>
    <message>
        <source>Volume flow</source>
        <translation>Portata</translation>
    </message>
    <message>
        <source>Flow temperature</source>
        <translation>Temperatura di mandata</translation>
    </message>
    <message>
        <source>Return temperature</source>
        <translation>Temperatura di ritorno</translation>
    </message>
    <message>
        <source>Temperature difference</source>
        <translation>Differenza di temperatura</translation>
    </message>
    <message>
        <source>External temperature</source>
        <translation>Temperatura esterna</translation>
    </message>
    <message>
        <source>Pressure</source>
        <translation>Pressione</translation>
    </message>
    <message>
        <source>Date</source>
        <translation>Data</translation>
    </message>
    <message>
        <source>Date and time</source>
        <translation>Data e ora</translation>
    </message>
    <message>
        <source>On time</source>
        <translation>Tempo di accensione</translation>
    </message>
    <message>
        <source>Operating time</source>
        <translation>Tempo di funzionamento</translation>
    </message>
    <message>
        <source>HCA units</source>
        <translation>Unità ripartitore</translation>
    </message>
    <message>
        <source>Averaging duration</source>
        <translation>Durata della media</translation>
    </message>
    <message>
        <source>Actuality duration</source>
        <translation>Età della misura</translation>
    </message>
    <message>
        <source>Fabrication number</source>
        <translation>Numero di fabbricazione</translation>
    </message>
    <message>
        <source>Voltage</source>
        <translation>Tensione</translation>
    </message>
    <message>
        <source>Current</source>
        <translation>Corrente</translation>
    </message>
    <message>
        <source>Manufacturer specific</source>
        <translation>Specifico del costruttore</translation>
    </message>
    <message>
        <source>Error flags</source>
        <translation>Indicatori di errore</translation>
    </message>
    <message>
        <source>maximum</source>
        <translation>massimo</translation>
    </message>
    <message>
        <source>minimum</source>
        <translation>minimo</translation>
    </message>
    <message>
        <source>error</source>
        <translation>errore</translation>
    </message>
    <message>
        <source>Display: monthly values of device %1</source>
        <translation>Display: valori mensili del dispositivo %1</translation>
    </message>
    <message>
        <source>serial</source>
        <translation>seriale</translation>
    </message>
    <message>
        <source>converter</source>
        <translation>convertitore</translation>
    </message>
    <message>
        <source>gateway</source>
        <translation>gateway</translation>
    </message>
    <message>
        <source>listen</source>
        <translation>in ascolto</translation>
    </message>
</context>
<context>
    <name>LinkDispatch</name>
    <message>
        <source>The connection was lost, the operation is stopped...</source>
        <translation>La connessione è stata persa, l&apos;operazione è interrotta...</translation>
    </message>
    <message>
        <source>No gateway is connected to the listening socket...</source>
        <translation>Nessun gateway è connesso alla porta in ascolto...</translation>
    </message>
    <message>
        <source>The selected serial port (%1) was not found!</source>
        <translation>La porta seriale selezionata (%1) non è stata trovata!</translation>
    </message>
    <message>
        <source>The selected serial port (%1) is in use by another program!</source>
        <translation>La porta selezionata (%1) e utilizzata da un&quot;altra applicazione!</translation>
    </message>
    <message>
        <source>The network number &quot;%1&quot; is no a.b.c.d of numbers 0..255: nothing sent...</source>
        <translation>Il numero di rete &quot;%1&quot; non è a.b.c.d di numeri 0..255: niente inviato...</translation>
    </message>
    <message>
        <source>The serial port %1 is gone (%2)...</source>
        <translation>La porta seriale %1 non è più disponibile (%2)...</translation>
    </message>
    <message>
        <source>%1 is closed</source>
        <translation>%1 è chiusa</translation>
    </message>
</context>
<context>
    <name>ListenSocket</name>
    <message>
        <source>the port must be a number from 1 to 65535</source>
        <translation>la porta deve essere un numero da 1 a 65535</translation>
    </message>
    <message>
        <source>no gateway is connected</source>
        <translation>nessun gateway è connesso</translation>
    </message>
    <message>
        <source>Nothing valid from %1 for %2 s: the connection is dropped</source>
        <translation>Nulla di valido da %1 per %2 s: la connessione viene chiusa</translation>
    </message>
    <message>
        <source>%1 has said nothing, %2 has: requests go to %2 now</source>
        <translation>%1 non ha inviato nulla, %2 sì: le richieste vanno ora a %2</translation>
    </message>
    <message>
        <source>A telegram from %1 is no answer: requests go to %2</source>
        <translation>Un telegramma da %1 non è una risposta: le richieste vanno a %2</translation>
    </message>
    <message>
        <source>... %L1 more discarded telegrams from %2</source>
        <translation>... altri %L1 telegrammi scartati da %2</translation>
    </message>
</context>
<context>
    <name>LoginWindow</name>
    <message>
        <source>Login Telvaro</source>
        <translation>Accedi Telvaro</translation>
    </message>
    <message>
        <source>Username:</source>
        <translation>Nome utente:</translation>
    </message>
    <message>
        <source>Password:</source>
        <translation>Password:</translation>
    </message>
    <message>
        <source>OK</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>Annulla</translation>
    </message>
    <message>
        <source>Wrong username or password!</source>
        <translation>Nome utente o password errati!</translation>
    </message>
    <message>
        <source>The program looked for it at:
%1

The first account is made with:
telvaro-users &quot;%1&quot; add admin Administrator</source>
        <translation>Il programma l&apos;ha cercato in:
%1

Il primo account si crea con:
telvaro-users &quot;%1&quot; add admin Administrator</translation>
    </message>
    <message>
        <source>The account file %1 cannot be read: %2.</source>
        <translation>Il file degli account %1 non può essere letto: %2.</translation>
    </message>
</context>
<context>
    <name>MainWindow</name>
    <message>
        <source>&amp;File</source>
        <translation>&amp;File</translation>
    </message>
    <message>
        <source>Open</source>
        <translation>Apri</translation>
    </message>
    <message>
        <source>Save</source>
        <translation>Salva</translation>
    </message>
    <message>
        <source>Exit</source>
        <translation>Esci</translation>
    </message>
    <message>
        <source>&amp;Tools</source>
        <translation>&amp;Strumenti</translation>
    </message>
    <message>
        <source>Users</source>
        <translation>Utenti</translation>
    </message>
    <message>
        <source>Settings</source>
        <translation>Impostazioni</translation>
    </message>
    <message>
        <source>&amp;Language</source>
        <translation>&amp;Lingua</translation>
    </message>
    <message>
        <source>&amp;Help</source>
        <translation>&amp;Aiuto</translation>
    </message>
    <message>
        <source>About</source>
        <translation>Informazioni</translation>
    </message>
    <message>
        <source>Orvenna m-bus configuration and read utility</source>
        <translation>Orvenna - utilità di configurazione e lettura m-bus</translation>
    </message>
    <message>
        <source>   M-bus devices    </source>
        <translation>   Dispositivi M-bus   </translation>
    </message>
    <message>
        <source>   Get Readings    </source>
        <translation>   Acquisisci letture   </translation>
    </message>
    <message>
        <source>   Local display TEV    </source>
        <translation>   Display Locale TEV   </translation>
    </message>
    <message>
        <source>Custom command:</source>
        <translation>Comando personalizzato:</translation>
    </message>
    <message>
        <source>Send</source>
        <translation>Invia</translation>
    </message>
    <message>
        <source>Clear log</source>
        <translation>Cancella log</translation>
    </message>
    <message>
        <source>Save log</source>
        <translation>Salva log</translation>
    </message>
    <message>
        <source>Print log</source>
        <translation>Stampa log</translation>
    </message>
    <message>
        <source> ID </source>
        <translation> ID </translation>
    </message>
    <message>
        <source>Addr. </source>
        <translation>Indir. </translation>
    </message>
    <message>
        <source>Mfr. </source>
        <translation>Costr. </translation>
    </message>
    <message>
        <source>Value </source>
        <translation>Valore </translation>
    </message>
    <message>
        <source>Unit </source>
        <translation>Unità </translation>
    </message>
    <message>
        <source>Medium </source>
        <translation>Mezzo </translation>
    </message>
    <message>
        <source>Time </source>
        <translation>Ora </translation>
    </message>
    <message>
        <source>Date </source>
        <translation>Data </translation>
    </message>
    <message>
        <source>Status </source>
        <translation>Stato </translation>
    </message>
    <message>
        <source>Model </source>
        <translation>Modello </translation>
    </message>
    <message>
        <source>Exit Confirmation</source>
        <translation>Conferma uscita</translation>
    </message>
    <message>
        <source>Are you sure you want to exit?</source>
        <translation>Sei sicuro di voler uscire?</translation>
    </message>
    <message>
        <source>Start Main</source>
        <translation>Iniz. princ.</translation>
    </message>
    <message>
        <source>Start P1, m3</source>
        <translation>Iniz. P1, m3</translation>
    </message>
    <message>
        <source>Start P2, m3</source>
        <translation>Iniz. P2, m3</translation>
    </message>
    <message>
        <source>Start Cooling</source>
        <translation>Iniz. raffr.</translation>
    </message>
    <message>
        <source>Mult/Div </source>
        <translation>Molt/Div </translation>
    </message>
    <message>
        <source>User numb. </source>
        <translation>Num. utente </translation>
    </message>
    <message>
        <source>Free text </source>
        <translation>Testo libero </translation>
    </message>
    <message>
        <source>Total </source>
        <translation>Totale </translation>
    </message>
    <message>
        <source>Total P1</source>
        <translation>Totale P1</translation>
    </message>
    <message>
        <source>Total P2</source>
        <translation>Totale P2</translation>
    </message>
    <message>
        <source>Total T4/Cool</source>
        <translation>Totale T4/Raffr.</translation>
    </message>
    <message>
        <source>Start </source>
        <translation>Iniz. </translation>
    </message>
    <message>
        <source>Jan</source>
        <translation>Gen</translation>
    </message>
    <message>
        <source>Feb</source>
        <translation>Feb</translation>
    </message>
    <message>
        <source>Mar</source>
        <translation>Mar</translation>
    </message>
    <message>
        <source>Apr</source>
        <translation>Apr</translation>
    </message>
    <message>
        <source>May</source>
        <translation>Mag</translation>
    </message>
    <message>
        <source>Jun</source>
        <translation>Giu</translation>
    </message>
    <message>
        <source>Jul</source>
        <translation>Lug</translation>
    </message>
    <message>
        <source>Aug</source>
        <translation>Ago</translation>
    </message>
    <message>
        <source>Sep</source>
        <translation>Set</translation>
    </message>
    <message>
        <source>Oct</source>
        <translation>Ott</translation>
    </message>
    <message>
        <source>Nov</source>
        <translation>Nov</translation>
    </message>
    <message>
        <source>Dec</source>
        <translation>Dic</translation>
    </message>
    <message>
        <source>The display holds 250 rows: %1 more rows of the file were not imported.</source>
        <translation>Il display contiene 250 righe: altre %1 righe del file non sono state importate.</translation>
    </message>
    <message>
        <source>Stop writing table in display</source>
        <translation>Interrompi scrittura tabella</translation>
    </message>
    <message>
        <source>Write table to the display</source>
        <translation>Invia tabella al Display</translation>
    </message>
    <message>
        <source>Stop</source>
        <translation>Ferma</translation>
    </message>
    <message>
        <source>Find</source>
        <translation>Trova</translation>
    </message>
    <message>
        <source>Read all meters</source>
        <translation>Leggi tutti</translation>
    </message>
    <message>
        <source>Stop addr</source>
        <translation>Stop indir.</translation>
    </message>
    <message>
        <source>Auto address</source>
        <translation>Auto indirizzo</translation>
    </message>
    <message>
        <source>Read selected</source>
        <translation>Leggi selezionati</translation>
    </message>
    <message>
        <source>Read All</source>
        <translation>Leggi tutti</translation>
    </message>
    <message>
        <source>Read Full</source>
        <translation>Lettura completa</translation>
    </message>
    <message>
        <source>Set Medium</source>
        <translation>Imposta mezzo</translation>
    </message>
    <message>
        <source>Set Unit</source>
        <translation>Imposta unità</translation>
    </message>
    <message>
        <source>Set baud</source>
        <translation>Imposta baud</translation>
    </message>
    <message>
        <source>Reset</source>
        <translation>Reset</translation>
    </message>
    <message>
        <source>Clear table</source>
        <translation>Cancella tabella</translation>
    </message>
    <message>
        <source>Save/Export</source>
        <translation>Salva/Esporta</translation>
    </message>
    <message>
        <source>Delete selected row</source>
        <translation>Elimina riga selezionata</translation>
    </message>
    <message>
        <source>Clear confirmation</source>
        <translation>Conferma cancellazione</translation>
    </message>
    <message>
        <source>Do you want to clear the table?</source>
        <translation>Vuoi cancellare la tabella?</translation>
    </message>
    <message>
        <source>Address confirmation</source>
        <translation>Conferma indirizzamento</translation>
    </message>
    <message>
        <source>This will address automatically ALL devices (primary), OK?</source>
        <translation>Verranno assegnati automaticamente gli indirizzi primari a TUTTI i dispositivi. Procedere?</translation>
    </message>
    <message>
        <source>English</source>
        <extracomment>A language name: the same in every language.</extracomment>
        <translation>English</translation>
    </message>
    <message>
        <source>Italian</source>
        <extracomment>A language name: the same in every language.</extracomment>
        <translation>Italian</translation>
    </message>
    <message>
        <source>Polski</source>
        <extracomment>A language name: the same in every language.</extracomment>
        <translation>Polski</translation>
    </message>
    <message>
        <source>Address in use</source>
        <translation>Indirizzo in uso</translation>
    </message>
    <message>
        <source>Address %1 belongs to meter %2 in the table. Give it to the selected meter as well?</source>
        <translation>L&apos;indirizzo %1 appartiene al contatore %2 nella tabella. Assegnarlo anche al contatore selezionato?</translation>
    </message>
    <message>
        <source>(older lines were removed: the log keeps the last %1 lines)</source>
        <translation>(le righe più vecchie sono state rimosse: il log conserva le ultime %1 righe)</translation>
    </message>
    <message>
        <source>%1 is closed (the first USB serial adapter found)</source>
        <translation>%1 è chiusa (il primo adattatore seriale USB trovato)</translation>
    </message>
    <message>
        <source>address %1 of %2..%3</source>
        <translation>indirizzo %1 di %2..%3</translation>
    </message>
    <message>
        <source>meter %1 of %2</source>
        <translation>contatore %1 di %2</translation>
    </message>
    <message>
        <source>step %1 of %2</source>
        <translation>passo %1 di %2</translation>
    </message>
    <message>
        <source>Readings archive: %1</source>
        <translation>Archivio letture: %1</translation>
    </message>
    <message>
        <source>Select a meter in the table to see its history...</source>
        <translation>Selezionare un contatore nella tabella per vederne lo storico...</translation>
    </message>
    <message>
        <source>The readings archive is off or cannot be used: no history to show...</source>
        <translation>L&apos;archivio letture è spento o non utilizzabile: nessuno storico da mostrare...</translation>
    </message>
    <message>
        <source>Select a row of the table to draw its months...</source>
        <translation>Selezionare una riga della tabella per disegnarne i mesi...</translation>
    </message>
    <message>
        <source>History...</source>
        <translation>Storico...</translation>
    </message>
    <message>
        <source>Readings archive: %1. The bus work goes on; readings are stored again once the archive can be used.</source>
        <translation>Archivio letture: %1. Il lavoro sul bus continua; le letture vengono di nuovo salvate appena l&apos;archivio è utilizzabile.</translation>
    </message>
    <message numerus="yes">
        <source>Readings archive: storing again; %n reading(s) could not be stored in the archive.</source>
        <translation>
            <numerusform>Archivio letture: di nuovo in salvataggio; %n lettura non è stata salvata nell&apos;archivio.</numerusform>
            <numerusform>Archivio letture: di nuovo in salvataggio; %n letture non sono state salvate nell&apos;archivio.</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>Readings archive: %n reading(s) could not be stored in the archive.</source>
        <translation>
            <numerusform>Archivio letture: %n lettura non è stata salvata nell&apos;archivio.</numerusform>
            <numerusform>Archivio letture: %n letture non sono state salvate nell&apos;archivio.</numerusform>
        </translation>
    </message>
    <message>
        <source>Readings archive: %1. No history to show...</source>
        <translation>Archivio letture: %1. Nessuno storico da mostrare...</translation>
    </message>
    <message>
        <source>Set value</source>
        <translation>Imposta valore</translation>
    </message>
    <message>
        <source>Write %1 l to every meter (broadcast)? Their registers will then read %2 m3.</source>
        <translation>Scrivere %1 l in tutti i contatori (broadcast)? I loro registri indicheranno poi %2 m3.</translation>
    </message>
    <message>
        <source>Write %1 l to meter %2? Its register will then read %3 m3.</source>
        <translation>Scrivere %1 l nel contatore %2? Il suo registro indicherà poi %3 m3.</translation>
    </message>
    <message>
        <source>Write %1 l to meter %2? The value is written in litres: its register, now in %3, will then read %4 m3.</source>
        <translation>Scrivere %1 l nel contatore %2? Il valore viene scritto in litri: il suo registro, ora in %3, indicherà poi %4 m3.</translation>
    </message>
    <message>
        <source>%1 is closed</source>
        <translation>%1 è chiusa</translation>
    </message>
</context>
<context>
    <name>MeterCommands</name>
    <message>
        <source>Address %1 belongs to meter %2 already: not given...</source>
        <translation>L&apos;indirizzo %1 appartiene già al contatore %2: non assegnato...</translation>
    </message>
    <message>
        <source>Set primary address %1 for meter %2</source>
        <translation>Imposta indirizzo primario %1 per il contatore %2</translation>
    </message>
    <message>
        <source>its address did not change</source>
        <translation>il suo indirizzo non è cambiato</translation>
    </message>
    <message>
        <source>%1 at address %2</source>
        <translation>%1 all&apos;indirizzo %2</translation>
    </message>
    <message>
        <source>Reset</source>
        <translation>Ripristino</translation>
    </message>
    <message>
        <source>Set baud rate %1</source>
        <translation>Imposta velocità %1 baud</translation>
    </message>
    <message>
        <source>Set ID %1</source>
        <translation>Imposta ID %1</translation>
    </message>
    <message>
        <source>Set value %1</source>
        <translation>Imposta valore %1</translation>
    </message>
    <message>
        <source>Set medium %1</source>
        <translation>Imposta mezzo %1</translation>
    </message>
    <message>
        <source>Set unit %1</source>
        <translation>Imposta unità %1</translation>
    </message>
    <message>
        <source>Set primary address %1</source>
        <translation>Imposta indirizzo primario %1</translation>
    </message>
    <message>
        <source>Read Full</source>
        <translation>Lettura completa</translation>
    </message>
    <message>
        <source>Read selected</source>
        <translation>Leggi selezionati</translation>
    </message>
    <message>
        <source>address %1 was sent to meter %2 but not confirmed</source>
        <translation>l&apos;indirizzo %1 è stato inviato al contatore %2 ma non confermato</translation>
    </message>
    <message>
        <source>%1 was sent to every meter (254) but not confirmed</source>
        <translation>%1 è stato inviato a tutti i contatori (254) ma non confermato</translation>
    </message>
    <message>
        <source>%1 was sent to meter %2 but not confirmed</source>
        <translation>%1 è stato inviato al contatore %2 ma non confermato</translation>
    </message>
    <message>
        <source>The address of meter %1 is not confirmed (%2): nothing sent. &quot;Read selected&quot; finds where it answers...</source>
        <translation>L&apos;indirizzo del contatore %1 non è confermato (%2): nulla inviato. &quot;Leggi selezionati&quot; trova dove risponde...</translation>
    </message>
    <message>
        <source>Read meter %1 by its ID</source>
        <translation>Lettura del contatore %1 tramite il suo ID</translation>
    </message>
</context>
<context>
    <name>OperationSummary</name>
    <message>
        <source>%1 of %2 meter(s) answered</source>
        <translation>%1 di %2 contatori hanno risposto</translation>
    </message>
    <message numerus="yes">
        <source>%n meter(s) found</source>
        <translation>
            <numerusform>%n contatore trovato</numerusform>
            <numerusform>%n contatori trovati</numerusform>
        </translation>
    </message>
    <message>
        <source>no answer from %1</source>
        <translation>nessuna risposta da %1</translation>
    </message>
    <message>
        <source>incomplete reading from %1</source>
        <translation>lettura incompleta da %1</translation>
    </message>
    <message>
        <source>address not confirmed for %1</source>
        <translation>indirizzo non confermato per %1</translation>
    </message>
    <message>
        <source>not told apart: %1</source>
        <translation>non distinti: %1</translation>
    </message>
    <message>
        <source>stopped before the end</source>
        <translation>interrotta prima della fine</translation>
    </message>
    <message>
        <source>no valid reply from %1</source>
        <translation>nessuna risposta valida da %1</translation>
    </message>
    <message>
        <source>the connection was lost</source>
        <translation>la connessione è stata persa</translation>
    </message>
    <message>
        <source>the bus lost replies, and these stayed silent without being asked again: %1</source>
        <translation>il bus ha perso risposte, e questi sono rimasti muti senza essere interrogati di nuovo: %1</translation>
    </message>
    <message>
        <source>answers came after the response timeout: raise it</source>
        <translation>le risposte sono arrivate dopo il timeout di risposta: aumentarlo</translation>
    </message>
</context>
<context>
    <name>PrimaryScan</name>
    <message>
        <source>Scan of %1..%2</source>
        <translation>Scansione di %1..%2</translation>
    </message>
    <message numerus="yes">
        <source>The bus lost replies: the %n address(es) found silent before are asked again...</source>
        <translation>
            <numerusform>Il bus ha perso risposte: l&apos;indirizzo trovato muto prima viene interrogato di nuovo...</numerusform>
            <numerusform>Il bus ha perso risposte: i %n indirizzi trovati muti prima vengono interrogati di nuovo...</numerusform>
        </translation>
    </message>
</context>
<context>
    <name>ReadAll</name>
    <message>
        <source>Read all meters</source>
        <translation>Leggi tutti</translation>
    </message>
</context>
<context>
    <name>ReadingsPage</name>
    <message>
        <source>Get  historical values</source>
        <translation>Acquisisci valori storici</translation>
    </message>
    <message>
        <source>Get all memory data</source>
        <translation>Acquisisci tutta la memoria</translation>
    </message>
    <message>
        <source>Export</source>
        <translation>Esporta</translation>
    </message>
    <message>
        <source>Add row</source>
        <translation>Aggiungi riga</translation>
    </message>
    <message>
        <source>Delete row</source>
        <translation>Elimina riga</translation>
    </message>
    <message>
        <source>Clear table</source>
        <translation>Cancella tabella</translation>
    </message>
    <message>
        <source>Sort table</source>
        <translation>Ordina tabella</translation>
    </message>
    <message>
        <source>by address</source>
        <translation>per indirizzo</translation>
    </message>
    <message>
        <source>by user number</source>
        <translation>per numero utente</translation>
    </message>
    <message>
        <source>Stop</source>
        <translation>Ferma</translation>
    </message>
    <message>
        <source>Chart</source>
        <translation>Grafico</translation>
    </message>
</context>
<context>
    <name>SafeWrite</name>
    <message>
        <source>no copy of the old content could be kept in %1 (%2)</source>
        <translation>non è stato possibile conservare una copia del contenuto precedente in %1 (%2)</translation>
    </message>
</context>
<context>
    <name>SecondarySearch</name>
    <message>
        <source>Find %1</source>
        <translation>Trova %1</translation>
    </message>
    <message>
        <source>Secondary search %1</source>
        <translation>Ricerca secondaria %1</translation>
    </message>
    <message>
        <source>, medium %1</source>
        <translation>, mezzo %1</translation>
    </message>
    <message>
        <source>, version %1</source>
        <translation>, versione %1</translation>
    </message>
    <message>
        <source>Several meters answer for ID %1: telling them apart by their medium...</source>
        <translation>Più contatori rispondono per l&apos;ID %1: distinzione per mezzo...</translation>
    </message>
    <message>
        <source>%1 (medium %2, version %3)</source>
        <translation>%1 (mezzo %2, versione %3)</translation>
    </message>
    <message>
        <source>Meters %1 cannot be told apart...</source>
        <translation>I contatori %1 non possono essere distinti...</translation>
    </message>
    <message>
        <source>%1 meters share ID %2</source>
        <translation>%1 contatori hanno l&apos;ID %2</translation>
    </message>
    <message>
        <source>Fewer meters answered one by one than together: the bus lost replies, and these patterns are asked again...</source>
        <translation>Meno contatori hanno risposto uno per uno che insieme: il bus ha perso risposte, e questi modelli vengono interrogati di nuovo...</translation>
    </message>
    <message numerus="yes">
        <source>The bus lost replies: the %n pattern(s) found silent before are asked again...</source>
        <translation>
            <numerusform>Il bus ha perso risposte: il modello trovato muto prima viene interrogato di nuovo...</numerusform>
            <numerusform>Il bus ha perso risposte: i %n modelli trovati muti prima vengono interrogati di nuovo...</numerusform>
        </translation>
    </message>
    <message>
        <source>Fewer meters were found under %1 than answered there together: some answers could not be told apart...</source>
        <translation>Sotto %1 sono stati trovati meno contatori di quanti vi hanno risposto insieme: alcune risposte non si sono potute distinguere...</translation>
    </message>
    <message numerus="yes">
        <source>%n more</source>
        <translation>
            <numerusform>altri %n</numerusform>
            <numerusform>altri %n</numerusform>
        </translation>
    </message>
</context>
<context>
    <name>SecondarySequence</name>
    <message>
        <source>Looking for meter %1 at address %2...</source>
        <translation>Ricerca del contatore %1 all&apos;indirizzo %2...</translation>
    </message>
    <message>
        <source>The new address %1 was not acknowledged...</source>
        <translation>Il nuovo indirizzo %1 non è stato confermato...</translation>
    </message>
    <message>
        <source>Meter %1 answers at its new address %2.</source>
        <translation>Il contatore %1 risponde al nuovo indirizzo %2.</translation>
    </message>
    <message>
        <source>Meter %1 still answers at its old address %2: its address did not change.</source>
        <translation>Il contatore %1 risponde ancora al vecchio indirizzo %2: l&apos;indirizzo non è cambiato.</translation>
    </message>
    <message>
        <source>Meter %1 answers neither at address %2 nor at its old address: its address is not confirmed.</source>
        <translation>Il contatore %1 non risponde né all&apos;indirizzo %2 né al vecchio indirizzo: l&apos;indirizzo non è confermato.</translation>
    </message>
    <message>
        <source>meter %1 answers at address %2 already: not changed</source>
        <translation>il contatore %1 risponde già all&apos;indirizzo %2: non modificato</translation>
    </message>
    <message>
        <source>address %1 did not answer clearly: not changed</source>
        <translation>l&apos;indirizzo %1 non ha risposto in modo chiaro: non modificato</translation>
    </message>
</context>
<context>
    <name>SerialPort</name>
    <message>
        <source>%1: no such device (is the adapter plugged in?)</source>
        <translation>%1: dispositivo inesistente (l&apos;adattatore è collegato?)</translation>
    </message>
    <message>
        <source>%1: no permission to open it. Add your user to the &quot;dialout&quot; group (sudo usermod -aG dialout $USER) and log in again.</source>
        <translation>%1: nessun permesso per aprirla. Aggiungere l&apos;utente al gruppo &quot;dialout&quot; (sudo usermod -aG dialout $USER) e accedere di nuovo.</translation>
    </message>
    <message>
        <source>%1 is not a serial port</source>
        <translation>%1 non è una porta seriale</translation>
    </message>
    <message>
        <source>%1 is in use by another program</source>
        <translation>%1 è in uso da un altro programma</translation>
    </message>
    <message>
        <source>%1 cannot be opened: %2</source>
        <translation>%1 non può essere aperta: %2</translation>
    </message>
</context>
<context>
    <name>SettingsDialog</name>
    <message>
        <source>Saving settings</source>
        <translation>Salvataggio impostazioni</translation>
    </message>
    <message>
        <source>Settings will not be saved, no write permission</source>
        <translation>Le impostazioni non verranno salvate: manca il permesso di scrittura</translation>
    </message>
    <message>
        <source>Disconnect</source>
        <translation>Disconnetti</translation>
    </message>
    <message>
        <source>Connect to port</source>
        <translation>Connetti alla porta</translation>
    </message>
    <message>
        <source>Name</source>
        <translation>Nome</translation>
    </message>
    <message>
        <source>Speed</source>
        <translation>Velocità</translation>
    </message>
    <message>
        <source>Parity</source>
        <translation>Parità</translation>
    </message>
    <message>
        <source>Remote IP number:</source>
        <translation>Indirizzo IP remoto:</translation>
    </message>
    <message>
        <source>Remote port:</source>
        <translation>Porta remota:</translation>
    </message>
    <message>
        <source>Ethernet timeout</source>
        <translation>Timeout Ethernet</translation>
    </message>
    <message>
        <source>x10ms</source>
        <translation>x10ms</translation>
    </message>
    <message>
        <source>Network number</source>
        <translation>Numero di rete</translation>
    </message>
    <message>
        <source>Port to listen:</source>
        <translation>Porta di ascolto:</translation>
    </message>
    <message>
        <source>Retries</source>
        <translation>Tentativi</translation>
    </message>
    <message>
        <source>Export separator:</source>
        <translation>Separatore esportazione:</translation>
    </message>
    <message>
        <source>Generation code of VANTIR, decimal</source>
        <translation>Codice generazione VANTIR, decimale</translation>
    </message>
    <message>
        <source>Additional Values</source>
        <translation>Valori aggiuntivi</translation>
    </message>
    <message>
        <source>to decode:</source>
        <translation>da decodificare:</translation>
    </message>
    <message>
        <source>Title 1</source>
        <translation>Titolo 1</translation>
    </message>
    <message>
        <source>Title 2</source>
        <translation>Titolo 2</translation>
    </message>
    <message>
        <source>Title 3</source>
        <translation>Titolo 3</translation>
    </message>
    <message>
        <source>Title 4</source>
        <translation>Titolo 4</translation>
    </message>
    <message>
        <source>Title 5</source>
        <translation>Titolo 5</translation>
    </message>
    <message>
        <source>Title 6</source>
        <translation>Titolo 6</translation>
    </message>
    <message>
        <source>Title 7</source>
        <translation>Titolo 7</translation>
    </message>
    <message>
        <source>Title 8</source>
        <translation>Titolo 8</translation>
    </message>
    <message>
        <source>Title 9</source>
        <translation>Titolo 9</translation>
    </message>
    <message>
        <source>Title 10</source>
        <translation>Titolo 10</translation>
    </message>
    <message>
        <source>Title 11</source>
        <translation>Titolo 11</translation>
    </message>
    <message>
        <source>Title 12</source>
        <translation>Titolo 12</translation>
    </message>
    <message>
        <source>Title 13</source>
        <translation>Titolo 13</translation>
    </message>
    <message>
        <source>Some devices give</source>
        <translation>Alcuni dispositivi forniscono</translation>
    </message>
    <message>
        <source>more than 1 Main value</source>
        <translation>più di 1 valore principale</translation>
    </message>
    <message>
        <source>Check this option, if that</source>
        <translation>Spuntare questa opzione</translation>
    </message>
    <message>
        <source>is the case </source>
        <translation>in tal caso </translation>
    </message>
    <message>
        <source>Telvaro -&gt; Settings</source>
        <translation>Telvaro -&gt; Impostazioni</translation>
    </message>
    <message>
        <source>   Communication settings   </source>
        <translation>   Impostazioni comunicazione   </translation>
    </message>
    <message>
        <source>   Additional m-bus information   </source>
        <translation>   Informazioni m-bus aggiuntive   </translation>
    </message>
    <message>
        <source>RTS control</source>
        <translation>Controllo RTS</translation>
    </message>
    <message>
        <source>DTR control</source>
        <translation>Controllo DTR</translation>
    </message>
    <message>
        <source>Use TCP/IP option </source>
        <translation>Usa opzione TCP/IP </translation>
    </message>
    <message>
        <source>Use VELK-2 server</source>
        <translation>Usa server VELK-2</translation>
    </message>
    <message>
        <source>   Remote connection settings   </source>
        <translation>   Impostazioni connessione remota   </translation>
    </message>
    <message>
        <source>Use VELK-2 or DRAV-4</source>
        <translation>Usa VELK-2 o DRAV-4</translation>
    </message>
    <message>
        <source>   Ethernet settings   </source>
        <translation>   Impostazioni Ethernet   </translation>
    </message>
    <message>
        <source>Auto open and listen</source>
        <translation>Apri e ascolta in automatico</translation>
    </message>
    <message>
        <source>Auto Read Display</source>
        <translation>Lettura automatica display</translation>
    </message>
    <message>
        <source>Auto Read M-bus</source>
        <translation>Lettura automatica M-bus</translation>
    </message>
    <message>
        <source>Secondary Search</source>
        <translation>Ricerca secondaria</translation>
    </message>
    <message>
        <source>MSB</source>
        <translation>MSB</translation>
    </message>
    <message>
        <source>LSB</source>
        <translation>LSB</translation>
    </message>
    <message>
        <source>Global Initialization</source>
        <translation>Inizializzazione globale</translation>
    </message>
    <message>
        <source>5B</source>
        <translation>5B</translation>
    </message>
    <message>
        <source>Unicode/CP852</source>
        <translation>Unicode/CP852</translation>
    </message>
    <message>
        <source>Complete reply early</source>
        <translation>Risposta completa anticipata</translation>
    </message>
    <message>
        <source>Take a reply as soon as it is a whole frame instead of one response timeout after the request</source>
        <translation>Accetta la risposta appena forma un frame completo, invece di attendere il timeout di risposta dopo la richiesta</translation>
    </message>
    <message>
        <source>Read all telegrams</source>
        <translation>Leggi tutti i telegrammi</translation>
    </message>
    <message>
        <source>Ask a meter for its next telegram while its reply announces more records</source>
        <translation>Richiedi al contatore il telegramma successivo finché la sua risposta annuncia altri record</translation>
    </message>
    <message>
        <source>Apply</source>
        <translation>Applica</translation>
    </message>
    <message>
        <source>Secondary Main</source>
        <translation>Principale secondario</translation>
    </message>
    <message>
        <source>Close</source>
        <translation>Chiudi</translation>
    </message>
    <message>
        <source>Keep every reading in the archive</source>
        <translation>Conserva ogni lettura nell&apos;archivio</translation>
    </message>
    <message>
        <source>margin</source>
        <translation>margine</translation>
    </message>
    <message>
        <source>Standard bus timing</source>
        <translation>Temporizzazione standard del bus</translation>
    </message>
    <message>
        <source>On the serial port, an answer that has not begun within 330 bit times + 50 ms (plus the margin) of the request counts as silence; one that began is over when the line falls quiet</source>
        <translation>Sulla porta seriale una risposta non iniziata entro 330 tempi di bit + 50 ms (più il margine) dalla richiesta conta come silenzio; una risposta iniziata termina quando la linea tace</translation>
    </message>
    <message>
        <source>Readings archive</source>
        <translation>Archivio delle letture</translation>
    </message>
    <message>
        <source>SQLite archive (*.sqlite)</source>
        <translation>Archivio SQLite (*.sqlite)</translation>
    </message>
    <message>
        <source>Looking at the archive...</source>
        <translation>Controllo dell&apos;archivio...</translation>
    </message>
    <message>
        <source>%1 is not there yet: it is made at the first reading.</source>
        <translation>%1 non esiste ancora: verrà creato alla prima lettura.</translation>
    </message>
    <message numerus="yes">
        <source>%1 can be used: %n reading(s) in it.</source>
        <translation>
            <numerusform>%1 può essere usato: contiene %n lettura.</numerusform>
            <numerusform>%1 può essere usato: contiene %n letture.</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%1 can only be read: %n reading(s) in it.</source>
        <translation>
            <numerusform>%1 può solo essere letto: contiene %n lettura.</numerusform>
            <numerusform>%1 può solo essere letto: contiene %n letture.</numerusform>
        </translation>
    </message>
    <message>
        <source>the default file, or a file or postgresql://user@host/database</source>
        <translation>il file predefinito, oppure un file o postgresql://utente@host/database</translation>
    </message>
    <message>
        <source>File...</source>
        <translation>Scegli...</translation>
    </message>
    <message>
        <source>Test</source>
        <translation>Prova</translation>
    </message>
</context>
<context>
    <name>TableFiles</name>
    <message>
        <source>CSV files (*.csv)</source>
        <translation>File CSV (*.csv)</translation>
    </message>
    <message>
        <source>CSV (*.csv)</source>
        <translation>CSV (*.csv)</translation>
    </message>
    <message>
        <source>Line %1.</source>
        <translation>Riga %1.</translation>
    </message>
    <message>
        <source>Line %1 has %2 fields, the table has %3 columns: the fields are taken in order.</source>
        <translation>La riga %1 ha %2 campi, la tabella ha %3 colonne: i campi sono presi in ordine.</translation>
    </message>
    <message>
        <source>Columns this table does not have, left out: %1</source>
        <translation>Colonne che questa tabella non ha, tralasciate: %1</translation>
    </message>
    <message>
        <source>Columns the file does not have, left empty: %1</source>
        <translation>Colonne che il file non ha, lasciate vuote: %1</translation>
    </message>
    <message>
        <source>A quoted cell is never closed.</source>
        <translation>Una cella tra virgolette non viene mai chiusa.</translation>
    </message>
    <message>
        <source>The file holds more than %1 rows, more than any bus: it is not read.</source>
        <translation>Il file contiene più di %1 righe, più di qualsiasi bus: non viene letto.</translation>
    </message>
    <message>
        <source>The file is larger than %1 MB.</source>
        <translation>Il file supera %1 MB.</translation>
    </message>
    <message>
        <source>It holds binary data, not text.</source>
        <translation>Contiene dati binari, non testo.</translation>
    </message>
    <message>
        <source>A cell is longer than %1 characters.</source>
        <translation>Una cella supera %1 caratteri.</translation>
    </message>
</context>
<context>
    <name>UserRights</name>
    <message>
        <source>This user may not set devices (no right &quot;Allow setting devices&quot;), nothing sent...</source>
        <translation>Questo utente non può impostare i dispositivi (manca il diritto &quot;Consenti configurazione dispositivi&quot;), nulla inviato...</translation>
    </message>
    <message>
        <source>This user may not set the display (no right &quot;Allow setting display&quot;), nothing sent...</source>
        <translation>Questo utente non può impostare il display (manca il diritto &quot;Consenti configurazione display&quot;), nulla inviato...</translation>
    </message>
</context>
<context>
    <name>UsersWindow</name>
    <message>
        <source>Users and accounts</source>
        <translation>Utenti e account</translation>
    </message>
    <message>
        <source>Username:</source>
        <translation>Nome utente:</translation>
    </message>
    <message>
        <source>Password:</source>
        <translation>Password:</translation>
    </message>
    <message>
        <source>Repeat password:</source>
        <translation>Ripeti password:</translation>
    </message>
    <message>
        <source>Access level:</source>
        <translation>Livello di accesso:</translation>
    </message>
    <message>
        <source>Allow setting devices</source>
        <translation>Consenti configurazione dispositivi</translation>
    </message>
    <message>
        <source>Allow setting communication</source>
        <translation>Consenti configurazione comunicazione</translation>
    </message>
    <message>
        <source>Allow setting display</source>
        <translation>Consenti configurazione display</translation>
    </message>
    <message>
        <source>Require login</source>
        <translation>Richiedi accesso</translation>
    </message>
    <message>
        <source>Add/Change</source>
        <translation>Aggiungi/Modifica</translation>
    </message>
    <message>
        <source>Delete</source>
        <translation>Elimina</translation>
    </message>
    <message>
        <source>Exit</source>
        <translation>Esci</translation>
    </message>
    <message>
        <source>User</source>
        <translation>Utente</translation>
    </message>
    <message>
        <source>Access</source>
        <translation>Accesso</translation>
    </message>
    <message>
        <source>Date reg.</source>
        <translation>Data reg.</translation>
    </message>
    <message>
        <source>m-bus</source>
        <translation>m-bus</translation>
    </message>
    <message>
        <source>Comm</source>
        <translation>Comun.</translation>
    </message>
    <message>
        <source>Display</source>
        <translation>Display</translation>
    </message>
    <message>
        <source>The account file %1 is read-only: its accounts are shown, but cannot be changed here.</source>
        <translation>Il file degli account %1 è di sola lettura: gli account sono mostrati, ma qui non possono essere modificati.</translation>
    </message>
</context>
<context>
    <name>archive::ArchiveWorker</name>
    <message>
        <source>The archive %1 is closed</source>
        <translation>L&apos;archivio %1 è chiuso</translation>
    </message>
    <message>
        <source>The archive %1 does not keep up (is its server stopped?)</source>
        <translation>L&apos;archivio %1 non tiene il passo (il suo server è fermo?)</translation>
    </message>
    <message>
        <source>The archive %1 was removed or replaced while in use: it is opened anew</source>
        <translation>L&apos;archivio %1 è stato rimosso o sostituito durante l&apos;uso: viene riaperto</translation>
    </message>
    <message>
        <source>The archive %1 is damaged (%2): what it shows may be incomplete or wrong</source>
        <translation>L&apos;archivio %1 è danneggiato (%2): ciò che mostra può essere incompleto o errato</translation>
    </message>
</context>
<context>
    <name>archive::ReadingArchive</name>
    <message>
        <source>The archive %1 cannot be reached: %2</source>
        <translation>L&apos;archivio %1 non è raggiungibile: %2</translation>
    </message>
    <message>
        <source>The archive %1 cannot be opened: %2</source>
        <translation>L&apos;archivio %1 non può essere aperto: %2</translation>
    </message>
    <message>
        <source>The archive %1 is read-only and holds no readings</source>
        <translation>L&apos;archivio %1 è di sola lettura e non contiene letture</translation>
    </message>
    <message>
        <source>The archive %1 cannot be set up: %2</source>
        <translation>L&apos;archivio %1 non può essere preparato: %2</translation>
    </message>
    <message>
        <source>%1 is not a readings archive</source>
        <translation>%1 non è un archivio di letture</translation>
    </message>
    <message>
        <source>The archive %1 was made by a newer Telvaro (schema %2): it is only read</source>
        <translation>L&apos;archivio %1 è stato creato da un Telvaro più recente (schema %2): viene solo letto</translation>
    </message>
    <message>
        <source>The archive is not open</source>
        <translation>L&apos;archivio non è aperto</translation>
    </message>
    <message>
        <source>The archive %1 is damaged (%2): nothing more is stored in it</source>
        <translation>L&apos;archivio %1 è danneggiato (%2): non vi si salva più nulla</translation>
    </message>
    <message>
        <source>The archive %1 is read-only</source>
        <translation>L&apos;archivio %1 è di sola lettura</translation>
    </message>
    <message>
        <source>Readings could not be written into %1: %2</source>
        <translation>Non è stato possibile scrivere le letture in %1: %2</translation>
    </message>
    <message>
        <source>The archive %1 cannot be read: %2</source>
        <translation>L&apos;archivio %1 non può essere letto: %2</translation>
    </message>
    <message>
        <source>The archive %1 cannot be opened: it is a folder</source>
        <translation>L&apos;archivio %1 non può essere aperto: è una cartella</translation>
    </message>
    <message>
        <source>%1 is no database: nothing is stored in it</source>
        <translation>%1 non è un database: non vi si salva nulla</translation>
    </message>
    <message>
        <source>%1 is a database, but no readings archive: nothing is stored in it</source>
        <translation>%1 è un database, ma non un archivio di letture: non vi si salva nulla</translation>
    </message>
    <message>
        <source>another program keeps it in WAL mode</source>
        <translation>un altro programma lo tiene in modalità WAL</translation>
    </message>
    <message>
        <source>it is no valid URL (in a password, @ / : % are written %40 %2F %3A %25)</source>
        <translation>non è un URL valido (in una password, @ / : % si scrivono %40 %2F %3A %25)</translation>
    </message>
    <message>
        <source>it names no server</source>
        <translation>non indica alcun server</translation>
    </message>
    <message>
        <source>it names no database (/DATABASE at its end)</source>
        <translation>non indica alcun database (/DATABASE alla fine)</translation>
    </message>
    <message>
        <source>The archive %1 cannot be used: %2</source>
        <translation>L&apos;archivio %1 non può essere usato: %2</translation>
    </message>
    <message>
        <source>The archive %1 cannot be brought up to date: %2</source>
        <translation>L&apos;archivio %1 non può essere aggiornato: %2</translation>
    </message>
    <message>
        <source>A PostgreSQL archive is copied with the server&apos;s own tools (pg_dump)</source>
        <translation>Un archivio PostgreSQL si copia con gli strumenti del server (pg_dump)</translation>
    </message>
    <message>
        <source>%1 is there already: a copy is made only into a new file</source>
        <translation>%1 esiste già: una copia si fa solo in un file nuovo</translation>
    </message>
    <message>
        <source>The archive %1 could not be copied to %2: %3</source>
        <translation>Non è stato possibile copiare l&apos;archivio %1 in %2: %3</translation>
    </message>
</context>
<context>
    <name>display::DisplayCommands</name>
    <message>
        <source>No reply from the display</source>
        <translation>Nessuna risposta dal display</translation>
    </message>
    <message>
        <source>Get info</source>
        <translation>Leggi informazioni</translation>
    </message>
    <message>
        <source>Set date and time of the display</source>
        <translation>Imposta data e ora del display</translation>
    </message>
    <message>
        <source>Set refresh time of the display</source>
        <translation>Imposta tempo di aggiornamento del display</translation>
    </message>
    <message>
        <source>Create sort table</source>
        <translation>Crea tabella di ordinamento</translation>
    </message>
    <message>
        <source>Sort the display&apos;s table</source>
        <translation>Ordina la tabella del display</translation>
    </message>
    <message>
        <source>Update readings of the display</source>
        <translation>Aggiorna le letture del display</translation>
    </message>
    <message>
        <source>%1 was sent to the display but not confirmed</source>
        <translation>%1 è stato inviato al display ma non confermato</translation>
    </message>
</context>
<context>
    <name>display::ReadRun</name>
    <message>
        <source>No reply from the display</source>
        <translation>Nessuna risposta dal display</translation>
    </message>
    <message>
        <source>No reply from the display for device %1</source>
        <translation>Nessuna risposta dal display per il dispositivo %1</translation>
    </message>
    <message>
        <source>The reply names device %1, not device %2: not used...</source>
        <translation>La risposta riguarda il dispositivo %1, non il dispositivo %2: non usata...</translation>
    </message>
    <message>
        <source>Get all memory data</source>
        <translation>Leggi tutta la memoria</translation>
    </message>
    <message>
        <source>Read data from the display</source>
        <translation>Leggi i dati dal display</translation>
    </message>
    <message>
        <source>Get historical values</source>
        <translation>Leggi valori storici</translation>
    </message>
</context>
<context>
    <name>display::WriteRun</name>
    <message>
        <source>No row of the display table is selected, nothing to do...</source>
        <translation>Nessuna riga della tabella del display è selezionata, nulla da fare...</translation>
    </message>
    <message>
        <source>No reply from the display for device %1</source>
        <translation>Nessuna risposta dal display per il dispositivo %1</translation>
    </message>
    <message>
        <source>No initial value %1in the table for device %2, not written...</source>
        <translation>Nessun valore iniziale %1nella tabella per il dispositivo %2, non scritto...</translation>
    </message>
    <message>
        <source>Write table to the display</source>
        <translation>Invia tabella al Display</translation>
    </message>
    <message>
        <source>Delete devices from the display</source>
        <translation>Elimina dispositivi dal display</translation>
    </message>
    <message>
        <source>Zero start values in the display</source>
        <translation>Azzera i valori iniziali nel display</translation>
    </message>
    <message>
        <source>%1 was sent to device %2 but not confirmed</source>
        <translation>%1 è stato inviato al dispositivo %2 ma non confermato</translation>
    </message>
</context>
</TS>
