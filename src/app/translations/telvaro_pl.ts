<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="pl_PL">
<context>
    <name>AboutBox</name>
    <message>
        <source>Telvaro -&gt; About</source>
        <translation>Telvaro -&gt; O programie</translation>
    </message>
    <message>
        <source>&lt;b&gt;Telvaro&lt;/b&gt; - M-Bus configuration and meter-reading utility</source>
        <translation>&lt;b&gt;Telvaro&lt;/b&gt; - narzędzie do konfiguracji M-Bus i odczytu liczników</translation>
    </message>
    <message>
        <source>Version %1</source>
        <translation>Wersja %1</translation>
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
        <translation>nie jest zwykłym plikiem</translation>
    </message>
    <message>
        <source>it is too large to be an account file</source>
        <translation>jest zbyt duży jak na plik kont</translation>
    </message>
    <message>
        <source>The account file %1 cannot be read: %2.</source>
        <translation>Nie można odczytać pliku kont %1: %2.</translation>
    </message>
    <message>
        <source>only part of it could be written</source>
        <translation>zapisano tylko jego część</translation>
    </message>
    <message>
        <source>The account file %1 could not be written (%2). It is unchanged.</source>
        <translation>Nie można zapisać pliku kont %1 (%2). Pozostał bez zmian.</translation>
    </message>
    <message>
        <source>The account file is being changed by another program. Try again in a moment.</source>
        <translation>Plik kont jest właśnie zmieniany przez inny program. Spróbuj ponownie za chwilę.</translation>
    </message>
    <message>
        <source>An account needs a user name.</source>
        <translation>Konto wymaga nazwy użytkownika.</translation>
    </message>
    <message>
        <source>An account needs a password.</source>
        <translation>Konto wymaga hasła.</translation>
    </message>
    <message>
        <source>An account needs an access level.</source>
        <translation>Konto wymaga poziomu dostępu.</translation>
    </message>
    <message>
        <source>User name, password and access level can hold only Latin-1 characters.</source>
        <translation>Nazwa użytkownika, hasło i poziom dostępu mogą zawierać tylko znaki Latin-1 (bez polskich liter).</translation>
    </message>
    <message>
        <source>The last Administrator account must keep the Administrator level.</source>
        <translation>Ostatnie konto Administrator musi zachować poziom Administrator.</translation>
    </message>
    <message>
        <source>Account &quot;%1&quot; changed.</source>
        <translation>Zmieniono konto &quot;%1&quot;.</translation>
    </message>
    <message>
        <source>Account &quot;%1&quot; added.</source>
        <translation>Dodano konto &quot;%1&quot;.</translation>
    </message>
    <message>
        <source>No account has the Administrator level, so no account can be deleted.</source>
        <translation>Żadne konto nie ma poziomu Administrator, więc nie można usunąć żadnego konta.</translation>
    </message>
    <message>
        <source>The account &quot;admin&quot; cannot be deleted.</source>
        <translation>Nie można usunąć konta &quot;admin&quot;.</translation>
    </message>
    <message>
        <source>There is no account named &quot;%1&quot;.</source>
        <translation>Nie ma konta o nazwie &quot;%1&quot;.</translation>
    </message>
    <message>
        <source>The last Administrator account cannot be deleted.</source>
        <translation>Nie można usunąć ostatniego konta Administrator.</translation>
    </message>
    <message>
        <source>Account &quot;%1&quot; deleted.</source>
        <translation>Usunięto konto &quot;%1&quot;.</translation>
    </message>
</context>
<context>
    <name>AutoAddressing</name>
    <message>
        <source>Auto addressing</source>
        <translation>Automatyczne adresowanie</translation>
    </message>
    <message>
        <source>address %1 was sent to meter %2 but not confirmed</source>
        <translation>adres %1 został wysłany do licznika %2, ale nie potwierdzony</translation>
    </message>
    <message>
        <source>meter %1: %2</source>
        <translation>licznik %1: %2</translation>
    </message>
</context>
<context>
    <name>BusSession</name>
    <message>
        <source>Another operation is using the bus, nothing sent...</source>
        <translation>Magistrala jest zajęta przez inną operację, nic nie wysłano...</translation>
    </message>
</context>
<context>
    <name>CustomCommand</name>
    <message>
        <source>Custom command</source>
        <translation>Własne polecenie</translation>
    </message>
    <message>
        <source>custom command %1 was sent but not confirmed</source>
        <translation>polecenie własne %1 wysłano, ale nie potwierdzono</translation>
    </message>
</context>
<context>
    <name>DevicesPage</name>
    <message>
        <source>   Search network    </source>
        <translation>   Przeszukaj sieć</translation>
    </message>
    <message>
        <source>From address</source>
        <translation>Od adresu</translation>
    </message>
    <message>
        <source>To address</source>
        <translation>Do adresu</translation>
    </message>
    <message>
        <source>Timeout [ms]</source>
        <translation>Limit czasu [ms]</translation>
    </message>
    <message>
        <source>Send NKE first</source>
        <translation>Najpierw wyślij NKE</translation>
    </message>
    <message>
        <source>By Secondary address:</source>
        <translation>Po adresie wtórnym:</translation>
    </message>
    <message>
        <source>By primary address:</source>
        <translation>Po adresie pierwotnym:</translation>
    </message>
    <message>
        <source>Find</source>
        <translation>Znajdź</translation>
    </message>
    <message>
        <source>Find all</source>
        <translation>Znajdź wszystkie</translation>
    </message>
    <message>
        <source>Stop Secondary</source>
        <translation>Zatrzymaj wtórne</translation>
    </message>
    <message>
        <source>   Basic Config.   </source>
        <translation>   Konfig. podstawowa   </translation>
    </message>
    <message>
        <source>Reset Status</source>
        <translation>Reset statusu</translation>
    </message>
    <message>
        <source>New address:</source>
        <translation>Nowy adres:</translation>
    </message>
    <message>
        <source>Set </source>
        <translation>Ustaw </translation>
    </message>
    <message>
        <source>Set value to:</source>
        <translation>Ustaw wartość na:</translation>
    </message>
    <message>
        <source>GIN</source>
        <translation>GIN</translation>
    </message>
    <message>
        <source>Set</source>
        <translation>Ustaw</translation>
    </message>
    <message>
        <source>   Advanced  Config.   </source>
        <translation>   Konfig. zaawansowana   </translation>
    </message>
    <message>
        <source>Medium:</source>
        <translation>Medium:</translation>
    </message>
    <message>
        <source>Unit:</source>
        <translation>Jednostka:</translation>
    </message>
    <message>
        <source>Const.:</source>
        <translation>Stała:</translation>
    </message>
    <message>
        <source>Relay</source>
        <translation>Przekaźnik</translation>
    </message>
    <message>
        <source>Baud rate:</source>
        <translation>Prędkość:</translation>
    </message>
    <message>
        <source>New ID:</source>
        <translation>Nowe ID:</translation>
    </message>
    <message>
        <source>work on broadcast (0xFE)</source>
        <translation>Praca w trybie transmisji (0xFE)</translation>
    </message>
    <message>
        <source>Read selected</source>
        <translation>Odczytaj zaznaczone</translation>
    </message>
    <message>
        <source>Clear table</source>
        <translation>Wyczyść tabelę</translation>
    </message>
    <message>
        <source>Load</source>
        <translation>Wczytaj</translation>
    </message>
    <message>
        <source>Save / Export</source>
        <translation>Zapisz / Eksportuj</translation>
    </message>
    <message>
        <source>from</source>
        <translation>od</translation>
    </message>
    <message>
        <source>ID:</source>
        <translation>ID:</translation>
    </message>
    <message>
        <source>Addr.:</source>
        <translation>Adr.:</translation>
    </message>
    <message>
        <source>History...</source>
        <translation>Historia...</translation>
    </message>
    <message>
        <source>The value is written in litres, whatever unit the meter shows.</source>
        <translation>Wartość jest zapisywana w litrach, niezależnie od jednostki licznika.</translation>
    </message>
    <message>
        <source>litres</source>
        <extracomment>The unit &quot;Set value to:&quot; writes in, beside its field.</extracomment>
        <translation>litry</translation>
    </message>
</context>
<context>
    <name>DisplayPage</name>
    <message>
        <source>Read data from TEV-K40</source>
        <translation>Odczytaj dane z TEV-K40</translation>
    </message>
    <message>
        <source>Delete selected device/row</source>
        <translation>Usuń zaznaczone urządzenie/wiersz</translation>
    </message>
    <message>
        <source>Zero start value</source>
        <translation>Zeruj wartość początkową</translation>
    </message>
    <message>
        <source>Date and Time</source>
        <translation>Data i godzina</translation>
    </message>
    <message>
        <source>Set Refresh time</source>
        <translation>Ustaw czas odświeżania</translation>
    </message>
    <message>
        <source>Create sort table</source>
        <translation>Utwórz tabelę sortowania</translation>
    </message>
    <message>
        <source>Sort</source>
        <translation>Sortuj</translation>
    </message>
    <message>
        <source>Update readings </source>
        <translation>Aktualizuj odczyty </translation>
    </message>
    <message>
        <source>Get info</source>
        <translation>Pobierz info</translation>
    </message>
    <message>
        <source>Get data from m-bus devices</source>
        <translation>Pobierz dane z urządzeń m-bus</translation>
    </message>
    <message>
        <source>Import</source>
        <translation>Importuj</translation>
    </message>
    <message>
        <source>Export</source>
        <translation>Eksportuj</translation>
    </message>
    <message>
        <source>Add row</source>
        <translation>Dodaj wiersz</translation>
    </message>
    <message>
        <source>Delete row</source>
        <translation>Usuń wiersz</translation>
    </message>
    <message>
        <source>Select all</source>
        <translation>Zaznacz wszystko</translation>
    </message>
    <message>
        <source>Deselect all</source>
        <translation>Odznacz wszystko</translation>
    </message>
    <message>
        <source>Clear table</source>
        <translation>Wyczyść tabelę</translation>
    </message>
    <message>
        <source>Set display refresh time, s</source>
        <translation>Czas odświeżania wyświetlacza, s</translation>
    </message>
    <message>
        <source>by address</source>
        <translation>wg adresu</translation>
    </message>
    <message>
        <source>by user numb.</source>
        <translation>wg nr. użytk.</translation>
    </message>
    <message>
        <source>RUX-T</source>
        <translation>RUX-T</translation>
    </message>
    <message>
        <source>   General info   </source>
        <translation>   Informacje ogólne   </translation>
    </message>
    <message>
        <source>Stop</source>
        <translation>Zatrzymaj</translation>
    </message>
</context>
<context>
    <name>Exchange</name>
    <message>
        <source>%1 byte(s) came too late for their request and were dropped: %2</source>
        <translation>%1 bajt(ów) przyszło za późno na swoje zapytanie i odrzucono je: %2</translation>
    </message>
    <message>
        <source>Telegram %1 did not arrive, the reading holds the first %2...</source>
        <translation>Telegram %1 nie dotarł, odczyt zawiera pierwsze %2...</translation>
    </message>
    <message>
        <source>The meter started its reading over: the reading holds the first %1 telegram(s)...</source>
        <translation>Licznik zaczął odczyt od nowa: odczyt zawiera pierwsze %1 telegram(y)...</translation>
    </message>
    <message>
        <source>%1 telegrams read and the meter announces more: the reading ends here...</source>
        <translation>Odczytano %1 telegramów, a licznik zapowiada kolejne: odczyt kończy się tutaj...</translation>
    </message>
    <message>
        <source>The meter at %1 answers after the timeout: its reading is awaited once more...</source>
        <translation>Licznik pod adresem %1 odpowiada po czasie oczekiwania: na jego odczyt czeka się jeszcze raz...</translation>
    </message>
    <message>
        <source>Telegram %1 came again: the next one is asked for once more...</source>
        <translation>Telegram %1 przyszedł ponownie: o następny prosi się jeszcze raz...</translation>
    </message>
    <message>
        <source>Telegram %1 came again, the reading holds the first %1...</source>
        <translation>Telegram %1 przyszedł ponownie, odczyt zawiera pierwsze %1...</translation>
    </message>
    <message>
        <source>The meter has more telegrams waiting: &quot;Read all telegrams&quot; (--all-telegrams) reads them...</source>
        <translation>Licznik ma kolejne telegramy: &quot;Odczytaj wszystkie telegramy&quot; (--all-telegrams) je odczyta...</translation>
    </message>
    <message>
        <source>No acknowledgement: sent again (try %1 of %2)...</source>
        <translation>Brak potwierdzenia: wysłano ponownie (próba %1 z %2)...</translation>
    </message>
    <message>
        <source>An answer began after the standard&apos;s answer window: every answer is awaited for the response timeout from here on...</source>
        <translation>Odpowiedź zaczęła się po oknie odpowiedzi określonym w normie: od teraz na każdą odpowiedź czeka się przez cały limit czasu...</translation>
    </message>
    <message>
        <source>An answer came after its response timeout: every answer is awaited twice as long from here on...</source>
        <translation>Odpowiedź przyszła po czasie oczekiwania: od teraz na każdą odpowiedź czeka się dwa razy dłużej...</translation>
    </message>
</context>
<context>
    <name>FullReportWindow</name>
    <message>
        <source>Save report</source>
        <translation>Zapisz raport</translation>
    </message>
    <message>
        <source>TXT files (*.txt)</source>
        <translation>Pliki TXT (*.txt)</translation>
    </message>
    <message>
        <source>Detailed m-bus report</source>
        <translation>Szczegółowy raport m-bus</translation>
    </message>
    <message>
        <source>Clear</source>
        <translation>Wyczyść</translation>
    </message>
    <message>
        <source>Save</source>
        <translation>Zapisz</translation>
    </message>
    <message>
        <source>Close</source>
        <translation>Zamknij</translation>
    </message>
</context>
<context>
    <name>HistoryWindow</name>
    <message>
        <source>History</source>
        <translation>Historia</translation>
    </message>
    <message>
        <source>Save / Export</source>
        <translation>Zapisz / Eksportuj</translation>
    </message>
    <message>
        <source>Close</source>
        <translation>Zamknij</translation>
    </message>
    <message>
        <source>Read at</source>
        <translation>Odczytano</translation>
    </message>
    <message>
        <source>Addr.</source>
        <translation>Adr.</translation>
    </message>
    <message>
        <source>Route</source>
        <translation>Droga</translation>
    </message>
    <message>
        <source>Status</source>
        <translation>Status</translation>
    </message>
    <message>
        <source>Value</source>
        <translation>Wartość</translation>
    </message>
    <message>
        <source>Unit</source>
        <translation>Jednostka</translation>
    </message>
    <message>
        <source>Change</source>
        <translation>Zmiana</translation>
    </message>
    <message numerus="yes">
        <source>Meter %1: %n reading(s)</source>
        <translation>
            <numerusform>Licznik %1: %n odczyt</numerusform>
            <numerusform>Licznik %1: %n odczyty</numerusform>
            <numerusform>Licznik %1: %n odczytów</numerusform>
        </translation>
    </message>
    <message>
        <source>, storage %1</source>
        <translation>, pamięć %1</translation>
    </message>
    <message>
        <source>, tariff %1</source>
        <translation>, taryfa %1</translation>
    </message>
    <message>
        <source>, sub-unit %1</source>
        <translation>, podjednostka %1</translation>
    </message>
    <message>
        <source>Meter %1: asking the readings archive...</source>
        <translation>Licznik %1: pytanie archiwum odczytów...</translation>
    </message>
    <message>
        <source>Station</source>
        <translation>Stanowisko</translation>
    </message>
    <message>
        <source>, record %1</source>
        <translation>, rekord %1</translation>
    </message>
    <message>
        <source>Time</source>
        <translation>Czas</translation>
    </message>
    <message>
        <source>Energy</source>
        <translation>Energia</translation>
    </message>
    <message>
        <source>Volume</source>
        <translation>Objętość</translation>
    </message>
    <message>
        <source>Power</source>
        <translation>Moc</translation>
    </message>
    <message>
        <source>Volume flow</source>
        <translation>Przepływ</translation>
    </message>
    <message>
        <source>Flow temperature</source>
        <translation>Temperatura zasilania</translation>
    </message>
    <message>
        <source>Return temperature</source>
        <translation>Temperatura powrotu</translation>
    </message>
    <message>
        <source>Temperature difference</source>
        <translation>Różnica temperatur</translation>
    </message>
    <message>
        <source>External temperature</source>
        <translation>Temperatura zewnętrzna</translation>
    </message>
    <message>
        <source>Pressure</source>
        <translation>Ciśnienie</translation>
    </message>
    <message>
        <source>Date</source>
        <translation>Data</translation>
    </message>
    <message>
        <source>Date and time</source>
        <translation>Data i godzina</translation>
    </message>
    <message>
        <source>On time</source>
        <translation>Czas załączenia</translation>
    </message>
    <message>
        <source>Operating time</source>
        <translation>Czas pracy</translation>
    </message>
    <message>
        <source>HCA units</source>
        <translation>Jednostki podzielnika</translation>
    </message>
    <message>
        <source>Averaging duration</source>
        <translation>Czas uśredniania</translation>
    </message>
    <message>
        <source>Actuality duration</source>
        <translation>Wiek pomiaru</translation>
    </message>
    <message>
        <source>Fabrication number</source>
        <translation>Numer fabryczny</translation>
    </message>
    <message>
        <source>Voltage</source>
        <translation>Napięcie</translation>
    </message>
    <message>
        <source>Current</source>
        <translation>Prąd</translation>
    </message>
    <message>
        <source>Manufacturer specific</source>
        <translation>Specyficzne dla producenta</translation>
    </message>
    <message>
        <source>Error flags</source>
        <translation>Flagi błędów</translation>
    </message>
    <message>
        <source>maximum</source>
        <translation>maksymalna</translation>
    </message>
    <message>
        <source>minimum</source>
        <translation>minimalna</translation>
    </message>
    <message>
        <source>error</source>
        <translation>błąd</translation>
    </message>
    <message>
        <source>Display: monthly values of device %1</source>
        <translation>Wyświetlacz: wartości miesięczne urządzenia %1</translation>
    </message>
    <message>
        <source>serial</source>
        <translation>szeregowy</translation>
    </message>
    <message>
        <source>converter</source>
        <translation>konwerter</translation>
    </message>
    <message>
        <source>gateway</source>
        <translation>bramka</translation>
    </message>
    <message>
        <source>listen</source>
        <translation>nasłuch</translation>
    </message>
</context>
<context>
    <name>LinkDispatch</name>
    <message>
        <source>The connection was lost, the operation is stopped...</source>
        <translation>Połączenie zostało utracone, operacja została przerwana...</translation>
    </message>
    <message>
        <source>No gateway is connected to the listening socket...</source>
        <translation>Żadna bramka nie jest podłączona do nasłuchującego gniazda...</translation>
    </message>
    <message>
        <source>The selected serial port (%1) was not found!</source>
        <translation>Nie znaleziono wybranego portu szeregowego (%1)!</translation>
    </message>
    <message>
        <source>The selected serial port (%1) is in use by another program!</source>
        <translation>Wybrany port jest używany przez inny program</translation>
    </message>
    <message>
        <source>The network number &quot;%1&quot; is no a.b.c.d of numbers 0..255: nothing sent...</source>
        <translation>Numer sieci &quot;%1&quot; nie jest postaci a.b.c.d z liczb 0..255: nic nie wysłano...</translation>
    </message>
    <message>
        <source>The serial port %1 is gone (%2)...</source>
        <translation>Port szeregowy %1 zniknął (%2)...</translation>
    </message>
    <message>
        <source>%1 is closed</source>
        <translation>%1 jest zamknięty</translation>
    </message>
</context>
<context>
    <name>ListenSocket</name>
    <message>
        <source>the port must be a number from 1 to 65535</source>
        <translation>port musi być liczbą od 1 do 65535</translation>
    </message>
    <message>
        <source>no gateway is connected</source>
        <translation>żadna bramka nie jest podłączona</translation>
    </message>
    <message>
        <source>Nothing valid from %1 for %2 s: the connection is dropped</source>
        <translation>Brak poprawnych danych od %1 przez %2 s: połączenie zostaje zerwane</translation>
    </message>
    <message>
        <source>%1 has said nothing, %2 has: requests go to %2 now</source>
        <translation>%1 nic nie wysłał, %2 tak: zapytania idą teraz do %2</translation>
    </message>
    <message>
        <source>A telegram from %1 is no answer: requests go to %2</source>
        <translation>Telegram od %1 nie jest odpowiedzią: zapytania idą do %2</translation>
    </message>
    <message>
        <source>... %L1 more discarded telegrams from %2</source>
        <translation>... kolejne odrzucone telegramy od %2: %L1</translation>
    </message>
</context>
<context>
    <name>LoginWindow</name>
    <message>
        <source>Login Telvaro</source>
        <translation>Logowanie Telvaro</translation>
    </message>
    <message>
        <source>Username:</source>
        <translation>Nazwa użytkownika:</translation>
    </message>
    <message>
        <source>Password:</source>
        <translation>Hasło:</translation>
    </message>
    <message>
        <source>OK</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>Anuluj</translation>
    </message>
    <message>
        <source>Wrong username or password!</source>
        <translation>Nieprawidłowa nazwa użytkownika lub hasło!</translation>
    </message>
    <message>
        <source>The program looked for it at:
%1

The first account is made with:
telvaro-users &quot;%1&quot; add admin Administrator</source>
        <translation>Program szukał go w:
%1

Pierwsze konto tworzy polecenie:
telvaro-users &quot;%1&quot; add admin Administrator</translation>
    </message>
    <message>
        <source>The account file %1 cannot be read: %2.</source>
        <translation>Nie można odczytać pliku kont %1: %2.</translation>
    </message>
</context>
<context>
    <name>MainWindow</name>
    <message>
        <source>&amp;File</source>
        <translation>&amp;Plik</translation>
    </message>
    <message>
        <source>Open</source>
        <translation>Otwórz</translation>
    </message>
    <message>
        <source>Save</source>
        <translation>Zapisz</translation>
    </message>
    <message>
        <source>Exit</source>
        <translation>Zakończ</translation>
    </message>
    <message>
        <source>&amp;Tools</source>
        <translation>&amp;Narzędzia</translation>
    </message>
    <message>
        <source>Users</source>
        <translation>Użytkownicy</translation>
    </message>
    <message>
        <source>Settings</source>
        <translation>Ustawienia</translation>
    </message>
    <message>
        <source>&amp;Language</source>
        <translation>&amp;Język</translation>
    </message>
    <message>
        <source>&amp;Help</source>
        <translation>Pomo&amp;c</translation>
    </message>
    <message>
        <source>About</source>
        <translation>O programie</translation>
    </message>
    <message>
        <source>Orvenna m-bus configuration and read utility</source>
        <translation>Orvenna - narzędzie do konfiguracji i odczytu m-bus</translation>
    </message>
    <message>
        <source>   M-bus devices    </source>
        <translation>   Urządzenia M-bus   </translation>
    </message>
    <message>
        <source>   Get Readings    </source>
        <translation>   Pobierz wskazania   </translation>
    </message>
    <message>
        <source>   Local display TEV    </source>
        <translation>   Lokalny wyświetlacz TEV/RUX</translation>
    </message>
    <message>
        <source>Custom command:</source>
        <translation>Własne polecenie:</translation>
    </message>
    <message>
        <source>Send</source>
        <translation>Wyślij</translation>
    </message>
    <message>
        <source>Clear log</source>
        <translation>Wyczyść log</translation>
    </message>
    <message>
        <source>Save log</source>
        <translation>Zapisz log</translation>
    </message>
    <message>
        <source>Print log</source>
        <translation>Drukuj log</translation>
    </message>
    <message>
        <source> ID </source>
        <translation> ID </translation>
    </message>
    <message>
        <source>Addr. </source>
        <translation>Adr. </translation>
    </message>
    <message>
        <source>Mfr. </source>
        <translation>Prod. </translation>
    </message>
    <message>
        <source>Value </source>
        <translation>Wartość </translation>
    </message>
    <message>
        <source>Unit </source>
        <translation>Jedn. </translation>
    </message>
    <message>
        <source>Medium </source>
        <translation>Medium </translation>
    </message>
    <message>
        <source>Time </source>
        <translation>Czas </translation>
    </message>
    <message>
        <source>Date </source>
        <translation>Data </translation>
    </message>
    <message>
        <source>Status </source>
        <translation>Status </translation>
    </message>
    <message>
        <source>Model </source>
        <translation>Model </translation>
    </message>
    <message>
        <source>Exit Confirmation</source>
        <translation>Potwierdzenie opuszczenia programu</translation>
    </message>
    <message>
        <source>Are you sure you want to exit?</source>
        <translation>Czy jesteś pewien, że chcesz opuścić program?</translation>
    </message>
    <message>
        <source>Start Main</source>
        <translation>Pocz. główna</translation>
    </message>
    <message>
        <source>Start P1, m3</source>
        <translation>Pocz. P1, m3</translation>
    </message>
    <message>
        <source>Start P2, m3</source>
        <translation>Pocz. P2, m3</translation>
    </message>
    <message>
        <source>Start Cooling</source>
        <translation>Pocz. chłodz.</translation>
    </message>
    <message>
        <source>Mult/Div </source>
        <translation>Mnoż/Dziel </translation>
    </message>
    <message>
        <source>User numb. </source>
        <translation>Nr użytk. </translation>
    </message>
    <message>
        <source>Free text </source>
        <translation>Dowolny tekst </translation>
    </message>
    <message>
        <source>Total </source>
        <translation>Suma </translation>
    </message>
    <message>
        <source>Total P1</source>
        <translation>Suma P1</translation>
    </message>
    <message>
        <source>Total P2</source>
        <translation>Suma P2</translation>
    </message>
    <message>
        <source>Total T4/Cool</source>
        <translation>Suma T4/Chłodz.</translation>
    </message>
    <message>
        <source>Start </source>
        <translation>Pocz. </translation>
    </message>
    <message>
        <source>Jan</source>
        <translation>Sty</translation>
    </message>
    <message>
        <source>Feb</source>
        <translation>Lut</translation>
    </message>
    <message>
        <source>Mar</source>
        <translation>Mar</translation>
    </message>
    <message>
        <source>Apr</source>
        <translation>Kwi</translation>
    </message>
    <message>
        <source>May</source>
        <translation>Maj</translation>
    </message>
    <message>
        <source>Jun</source>
        <translation>Cze</translation>
    </message>
    <message>
        <source>Jul</source>
        <translation>Lip</translation>
    </message>
    <message>
        <source>Aug</source>
        <translation>Sie</translation>
    </message>
    <message>
        <source>Sep</source>
        <translation>Wrz</translation>
    </message>
    <message>
        <source>Oct</source>
        <translation>Paź</translation>
    </message>
    <message>
        <source>Nov</source>
        <translation>Lis</translation>
    </message>
    <message>
        <source>Dec</source>
        <translation>Gru</translation>
    </message>
    <message>
        <source>The display holds 250 rows: %1 more rows of the file were not imported.</source>
        <translation>Wyświetlacz mieści 250 wierszy: pozostałych %1 wierszy pliku nie zaimportowano.</translation>
    </message>
    <message>
        <source>Stop writing table in display</source>
        <translation>Zatrzymaj zapis tabeli</translation>
    </message>
    <message>
        <source>Write table to the display</source>
        <translation>Zapisz tabelę na wyświetlaczu</translation>
    </message>
    <message>
        <source>Stop</source>
        <translation>Zatrzymaj</translation>
    </message>
    <message>
        <source>Find</source>
        <translation>Znajdź</translation>
    </message>
    <message>
        <source>Read all meters</source>
        <translation>Odczytaj wszystkie</translation>
    </message>
    <message>
        <source>Stop addr</source>
        <translation>Stop adr.</translation>
    </message>
    <message>
        <source>Auto address</source>
        <translation>Auto adresowanie</translation>
    </message>
    <message>
        <source>Read selected</source>
        <translation>Odczytaj zaznaczone</translation>
    </message>
    <message>
        <source>Read All</source>
        <translation>Odczytaj wszystkie</translation>
    </message>
    <message>
        <source>Read Full</source>
        <translation>Pełny odczyt</translation>
    </message>
    <message>
        <source>Set Medium</source>
        <translation>Ustaw medium</translation>
    </message>
    <message>
        <source>Set Unit</source>
        <translation>Ustaw jednostkę</translation>
    </message>
    <message>
        <source>Set baud</source>
        <translation>Ustaw prędkość</translation>
    </message>
    <message>
        <source>Reset</source>
        <translation>Reset</translation>
    </message>
    <message>
        <source>Clear table</source>
        <translation>Wyczyść tabelę</translation>
    </message>
    <message>
        <source>Save/Export</source>
        <translation>Zapisz/Eksportuj</translation>
    </message>
    <message>
        <source>Delete selected row</source>
        <translation>Usuń zaznaczony wiersz</translation>
    </message>
    <message>
        <source>Clear confirmation</source>
        <translation>Potwierdzenie czyszczenia</translation>
    </message>
    <message>
        <source>Do you want to clear the table?</source>
        <translation>Czy chcesz wyczyścić tabelę?</translation>
    </message>
    <message>
        <source>Address confirmation</source>
        <translation>Potwierdzenie adresowania</translation>
    </message>
    <message>
        <source>This will address automatically ALL devices (primary), OK?</source>
        <translation>Spowoduje to automatyczne nadanie adresów pierwotnych WSZYSTKIM urządzeniom. Kontynuować?</translation>
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
        <translation>Adres zajęty</translation>
    </message>
    <message>
        <source>Address %1 belongs to meter %2 in the table. Give it to the selected meter as well?</source>
        <translation>Adres %1 należy do licznika %2 w tabeli. Nadać go także wybranemu licznikowi?</translation>
    </message>
    <message>
        <source>(older lines were removed: the log keeps the last %1 lines)</source>
        <translation>(starsze wiersze usunięto: dziennik przechowuje ostatnie %1 wierszy)</translation>
    </message>
    <message>
        <source>%1 is closed (the first USB serial adapter found)</source>
        <translation>%1 jest zamknięty (pierwszy znaleziony adapter szeregowy USB)</translation>
    </message>
    <message>
        <source>address %1 of %2..%3</source>
        <translation>adres %1 z %2..%3</translation>
    </message>
    <message>
        <source>meter %1 of %2</source>
        <translation>licznik %1 z %2</translation>
    </message>
    <message>
        <source>step %1 of %2</source>
        <translation>krok %1 z %2</translation>
    </message>
    <message>
        <source>Readings archive: %1</source>
        <translation>Archiwum odczytów: %1</translation>
    </message>
    <message>
        <source>Select a meter in the table to see its history...</source>
        <translation>Zaznacz licznik w tabeli, aby zobaczyć jego historię...</translation>
    </message>
    <message>
        <source>The readings archive is off or cannot be used: no history to show...</source>
        <translation>Archiwum odczytów jest wyłączone lub niedostępne: brak historii do pokazania...</translation>
    </message>
    <message>
        <source>Select a row of the table to draw its months...</source>
        <translation>Zaznacz wiersz tabeli, aby narysować jego miesiące...</translation>
    </message>
    <message>
        <source>History...</source>
        <translation>Historia...</translation>
    </message>
    <message>
        <source>Readings archive: %1. The bus work goes on; readings are stored again once the archive can be used.</source>
        <translation>Archiwum odczytów: %1. Praca na magistrali trwa dalej; odczyty zostaną znów zapisane, gdy archiwum będzie dostępne.</translation>
    </message>
    <message numerus="yes">
        <source>Readings archive: storing again; %n reading(s) could not be stored in the archive.</source>
        <translation>
            <numerusform>Archiwum odczytów: zapis znów działa; %n odczytu nie udało się zapisać w archiwum.</numerusform>
            <numerusform>Archiwum odczytów: zapis znów działa; %n odczytów nie udało się zapisać w archiwum.</numerusform>
            <numerusform>Archiwum odczytów: zapis znów działa; %n odczytów nie udało się zapisać w archiwum.</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>Readings archive: %n reading(s) could not be stored in the archive.</source>
        <translation>
            <numerusform>Archiwum odczytów: %n odczytu nie udało się zapisać w archiwum.</numerusform>
            <numerusform>Archiwum odczytów: %n odczytów nie udało się zapisać w archiwum.</numerusform>
            <numerusform>Archiwum odczytów: %n odczytów nie udało się zapisać w archiwum.</numerusform>
        </translation>
    </message>
    <message>
        <source>Readings archive: %1. No history to show...</source>
        <translation>Archiwum odczytów: %1. Brak historii do pokazania...</translation>
    </message>
    <message>
        <source>Set value</source>
        <translation>Ustaw wartość</translation>
    </message>
    <message>
        <source>Write %1 l to every meter (broadcast)? Their registers will then read %2 m3.</source>
        <translation>Zapisać %1 l we wszystkich licznikach (broadcast)? Ich rejestry pokażą wtedy %2 m3.</translation>
    </message>
    <message>
        <source>Write %1 l to meter %2? Its register will then read %3 m3.</source>
        <translation>Zapisać %1 l w liczniku %2? Jego rejestr pokaże wtedy %3 m3.</translation>
    </message>
    <message>
        <source>Write %1 l to meter %2? The value is written in litres: its register, now in %3, will then read %4 m3.</source>
        <translation>Zapisać %1 l w liczniku %2? Wartość jest zapisywana w litrach: jego rejestr, teraz w %3, pokaże wtedy %4 m3.</translation>
    </message>
    <message>
        <source>%1 is closed</source>
        <translation>%1 jest zamknięty</translation>
    </message>
</context>
<context>
    <name>MeterCommands</name>
    <message>
        <source>Address %1 belongs to meter %2 already: not given...</source>
        <translation>Adres %1 należy już do licznika %2: nie nadano...</translation>
    </message>
    <message>
        <source>Set primary address %1 for meter %2</source>
        <translation>Nadanie adresu pierwotnego %1 licznikowi %2</translation>
    </message>
    <message>
        <source>its address did not change</source>
        <translation>jego adres się nie zmienił</translation>
    </message>
    <message>
        <source>%1 at address %2</source>
        <translation>%1 pod adresem %2</translation>
    </message>
    <message>
        <source>Reset</source>
        <translation>Resetowanie</translation>
    </message>
    <message>
        <source>Set baud rate %1</source>
        <translation>Ustaw prędkość %1 bodów</translation>
    </message>
    <message>
        <source>Set ID %1</source>
        <translation>Ustaw ID %1</translation>
    </message>
    <message>
        <source>Set value %1</source>
        <translation>Ustaw wartość %1</translation>
    </message>
    <message>
        <source>Set medium %1</source>
        <translation>Ustaw medium %1</translation>
    </message>
    <message>
        <source>Set unit %1</source>
        <translation>Ustaw jednostkę %1</translation>
    </message>
    <message>
        <source>Set primary address %1</source>
        <translation>Nadanie adresu pierwotnego %1</translation>
    </message>
    <message>
        <source>Read Full</source>
        <translation>Pełny odczyt</translation>
    </message>
    <message>
        <source>Read selected</source>
        <translation>Odczytaj zaznaczone</translation>
    </message>
    <message>
        <source>address %1 was sent to meter %2 but not confirmed</source>
        <translation>adres %1 został wysłany do licznika %2, ale nie potwierdzony</translation>
    </message>
    <message>
        <source>%1 was sent to every meter (254) but not confirmed</source>
        <translation>%1 wysłano do wszystkich liczników (254), ale nie potwierdzono</translation>
    </message>
    <message>
        <source>%1 was sent to meter %2 but not confirmed</source>
        <translation>%1 wysłano do licznika %2, ale nie potwierdzono</translation>
    </message>
    <message>
        <source>The address of meter %1 is not confirmed (%2): nothing sent. &quot;Read selected&quot; finds where it answers...</source>
        <translation>Adres licznika %1 nie jest potwierdzony (%2): nic nie wysłano. &quot;Odczytaj zaznaczone&quot; sprawdzi, gdzie odpowiada...</translation>
    </message>
    <message>
        <source>Read meter %1 by its ID</source>
        <translation>Odczyt licznika %1 po jego ID</translation>
    </message>
</context>
<context>
    <name>OperationSummary</name>
    <message>
        <source>%1 of %2 meter(s) answered</source>
        <translation>odpowiedziało %1 z %2 liczników</translation>
    </message>
    <message numerus="yes">
        <source>%n meter(s) found</source>
        <translation>
            <numerusform>znaleziono %n licznik</numerusform>
            <numerusform>znaleziono %n liczniki</numerusform>
            <numerusform>znaleziono %n liczników</numerusform>
        </translation>
    </message>
    <message>
        <source>no answer from %1</source>
        <translation>brak odpowiedzi od %1</translation>
    </message>
    <message>
        <source>incomplete reading from %1</source>
        <translation>niepełny odczyt od %1</translation>
    </message>
    <message>
        <source>address not confirmed for %1</source>
        <translation>adres niepotwierdzony dla %1</translation>
    </message>
    <message>
        <source>not told apart: %1</source>
        <translation>nierozróżnione: %1</translation>
    </message>
    <message>
        <source>stopped before the end</source>
        <translation>przerwano przed końcem</translation>
    </message>
    <message>
        <source>no valid reply from %1</source>
        <translation>brak poprawnej odpowiedzi od %1</translation>
    </message>
    <message>
        <source>the connection was lost</source>
        <translation>połączenie zostało utracone</translation>
    </message>
    <message>
        <source>the bus lost replies, and these stayed silent without being asked again: %1</source>
        <translation>magistrala gubiła odpowiedzi, a te milczały i nie zapytano ich ponownie: %1</translation>
    </message>
    <message>
        <source>answers came after the response timeout: raise it</source>
        <translation>odpowiedzi przychodziły po czasie oczekiwania: należy go zwiększyć</translation>
    </message>
</context>
<context>
    <name>PrimaryScan</name>
    <message>
        <source>Scan of %1..%2</source>
        <translation>Skanowanie %1..%2</translation>
    </message>
    <message numerus="yes">
        <source>The bus lost replies: the %n address(es) found silent before are asked again...</source>
        <translation>
            <numerusform>Magistrala zgubiła odpowiedzi: adres, który wcześniej milczał, jest odpytywany ponownie...</numerusform>
            <numerusform>Magistrala zgubiła odpowiedzi: %n adresy, które wcześniej milczały, są odpytywane ponownie...</numerusform>
            <numerusform>Magistrala zgubiła odpowiedzi: %n adresów, które wcześniej milczały, jest odpytywanych ponownie...</numerusform>
        </translation>
    </message>
</context>
<context>
    <name>ReadAll</name>
    <message>
        <source>Read all meters</source>
        <translation>Odczytaj wszystkie</translation>
    </message>
</context>
<context>
    <name>ReadingsPage</name>
    <message>
        <source>Get  historical values</source>
        <translation>Pobierz wartości historyczne</translation>
    </message>
    <message>
        <source>Get all memory data</source>
        <translation>Pobierz całą pamięć</translation>
    </message>
    <message>
        <source>Export</source>
        <translation>Eksportuj</translation>
    </message>
    <message>
        <source>Add row</source>
        <translation>Dodaj wiersz</translation>
    </message>
    <message>
        <source>Delete row</source>
        <translation>Usuń wiersz</translation>
    </message>
    <message>
        <source>Clear table</source>
        <translation>Wyczyść tabelę</translation>
    </message>
    <message>
        <source>Sort table</source>
        <translation>Sortuj tabelę</translation>
    </message>
    <message>
        <source>by address</source>
        <translation>wg adresu</translation>
    </message>
    <message>
        <source>by user number</source>
        <translation>wg numeru użytkownika</translation>
    </message>
    <message>
        <source>Stop</source>
        <translation>Zatrzymaj</translation>
    </message>
    <message>
        <source>Chart</source>
        <translation>Wykres</translation>
    </message>
</context>
<context>
    <name>SafeWrite</name>
    <message>
        <source>no copy of the old content could be kept in %1 (%2)</source>
        <translation>nie można było zachować kopii poprzedniej zawartości w %1 (%2)</translation>
    </message>
</context>
<context>
    <name>SecondarySearch</name>
    <message>
        <source>Find %1</source>
        <translation>Znajdź %1</translation>
    </message>
    <message>
        <source>Secondary search %1</source>
        <translation>Wyszukiwanie wtórne %1</translation>
    </message>
    <message>
        <source>, medium %1</source>
        <translation>, medium %1</translation>
    </message>
    <message>
        <source>, version %1</source>
        <translation>, wersja %1</translation>
    </message>
    <message>
        <source>Several meters answer for ID %1: telling them apart by their medium...</source>
        <translation>Kilka liczników odpowiada na ID %1: rozróżnianie według medium...</translation>
    </message>
    <message>
        <source>%1 (medium %2, version %3)</source>
        <translation>%1 (medium %2, wersja %3)</translation>
    </message>
    <message>
        <source>Meters %1 cannot be told apart...</source>
        <translation>Liczników %1 nie da się rozróżnić...</translation>
    </message>
    <message>
        <source>%1 meters share ID %2</source>
        <translation>%1 liczniki mają ID %2</translation>
    </message>
    <message>
        <source>Fewer meters answered one by one than together: the bus lost replies, and these patterns are asked again...</source>
        <translation>Pojedynczo odpowiedziało mniej liczników niż razem: magistrala zgubiła odpowiedzi, te wzorce są odpytywane ponownie...</translation>
    </message>
    <message numerus="yes">
        <source>The bus lost replies: the %n pattern(s) found silent before are asked again...</source>
        <translation>
            <numerusform>Magistrala zgubiła odpowiedzi: wzorzec, który wcześniej milczał, jest odpytywany ponownie...</numerusform>
            <numerusform>Magistrala zgubiła odpowiedzi: %n wzorce, które wcześniej milczały, są odpytywane ponownie...</numerusform>
            <numerusform>Magistrala zgubiła odpowiedzi: %n wzorców, które wcześniej milczały, jest odpytywanych ponownie...</numerusform>
        </translation>
    </message>
    <message>
        <source>Fewer meters were found under %1 than answered there together: some answers could not be told apart...</source>
        <translation>Pod %1 znaleziono mniej liczników, niż odpowiedziało tam razem: części odpowiedzi nie dało się rozróżnić...</translation>
    </message>
    <message numerus="yes">
        <source>%n more</source>
        <translation>
            <numerusform>%n więcej</numerusform>
            <numerusform>%n więcej</numerusform>
            <numerusform>%n więcej</numerusform>
        </translation>
    </message>
</context>
<context>
    <name>SecondarySequence</name>
    <message>
        <source>Looking for meter %1 at address %2...</source>
        <translation>Szukanie licznika %1 pod adresem %2...</translation>
    </message>
    <message>
        <source>The new address %1 was not acknowledged...</source>
        <translation>Nowy adres %1 nie został potwierdzony...</translation>
    </message>
    <message>
        <source>Meter %1 answers at its new address %2.</source>
        <translation>Licznik %1 odpowiada pod nowym adresem %2.</translation>
    </message>
    <message>
        <source>Meter %1 still answers at its old address %2: its address did not change.</source>
        <translation>Licznik %1 nadal odpowiada pod starym adresem %2: jego adres się nie zmienił.</translation>
    </message>
    <message>
        <source>Meter %1 answers neither at address %2 nor at its old address: its address is not confirmed.</source>
        <translation>Licznik %1 nie odpowiada ani pod adresem %2, ani pod starym adresem: jego adres nie jest potwierdzony.</translation>
    </message>
    <message>
        <source>meter %1 answers at address %2 already: not changed</source>
        <translation>licznik %1 odpowiada już pod adresem %2: bez zmian</translation>
    </message>
    <message>
        <source>address %1 did not answer clearly: not changed</source>
        <translation>adres %1 nie odpowiedział jednoznacznie: bez zmian</translation>
    </message>
</context>
<context>
    <name>SerialPort</name>
    <message>
        <source>%1: no such device (is the adapter plugged in?)</source>
        <translation>%1: nie ma takiego urządzenia (czy adapter jest podłączony?)</translation>
    </message>
    <message>
        <source>%1: no permission to open it. Add your user to the &quot;dialout&quot; group (sudo usermod -aG dialout $USER) and log in again.</source>
        <translation>%1: brak uprawnień do otwarcia. Dodaj swojego użytkownika do grupy &quot;dialout&quot; (sudo usermod -aG dialout $USER) i zaloguj się ponownie.</translation>
    </message>
    <message>
        <source>%1 is not a serial port</source>
        <translation>%1 nie jest portem szeregowym</translation>
    </message>
    <message>
        <source>%1 is in use by another program</source>
        <translation>%1 jest używany przez inny program</translation>
    </message>
    <message>
        <source>%1 cannot be opened: %2</source>
        <translation>Nie można otworzyć %1: %2</translation>
    </message>
</context>
<context>
    <name>SettingsDialog</name>
    <message>
        <source>Saving settings</source>
        <translation>Zapisywanie ustawień</translation>
    </message>
    <message>
        <source>Settings will not be saved, no write permission</source>
        <translation>Ustawienia nie zostaną zapisane: brak uprawnień do zapisu</translation>
    </message>
    <message>
        <source>Disconnect</source>
        <translation>Rozłącz</translation>
    </message>
    <message>
        <source>Connect to port</source>
        <translation>Połącz z portem</translation>
    </message>
    <message>
        <source>Name</source>
        <translation>Nazwa</translation>
    </message>
    <message>
        <source>Speed</source>
        <translation>Prędkość</translation>
    </message>
    <message>
        <source>Parity</source>
        <translation>Parzystość</translation>
    </message>
    <message>
        <source>Remote IP number:</source>
        <translation>Zdalny adres IP:</translation>
    </message>
    <message>
        <source>Remote port:</source>
        <translation>Zdalny port:</translation>
    </message>
    <message>
        <source>Ethernet timeout</source>
        <translation>Limit czasu Ethernet</translation>
    </message>
    <message>
        <source>x10ms</source>
        <translation>x10ms</translation>
    </message>
    <message>
        <source>Network number</source>
        <translation>Numer sieci</translation>
    </message>
    <message>
        <source>Port to listen:</source>
        <translation>Port nasłuchu:</translation>
    </message>
    <message>
        <source>Retries</source>
        <translation>Powtórzenia</translation>
    </message>
    <message>
        <source>Export separator:</source>
        <translation>Separator eksportu:</translation>
    </message>
    <message>
        <source>Generation code of VANTIR, decimal</source>
        <translation>Kod generacji VANTIR, dziesiętnie</translation>
    </message>
    <message>
        <source>Additional Values</source>
        <translation>Wartości dodatkowe</translation>
    </message>
    <message>
        <source>to decode:</source>
        <translation>do dekodowania:</translation>
    </message>
    <message>
        <source>Title 1</source>
        <translation>Tytuł 1</translation>
    </message>
    <message>
        <source>Title 2</source>
        <translation>Tytuł 2</translation>
    </message>
    <message>
        <source>Title 3</source>
        <translation>Tytuł 3</translation>
    </message>
    <message>
        <source>Title 4</source>
        <translation>Tytuł 4</translation>
    </message>
    <message>
        <source>Title 5</source>
        <translation>Tytuł 5</translation>
    </message>
    <message>
        <source>Title 6</source>
        <translation>Tytuł 6</translation>
    </message>
    <message>
        <source>Title 7</source>
        <translation>Tytuł 7</translation>
    </message>
    <message>
        <source>Title 8</source>
        <translation>Tytuł 8</translation>
    </message>
    <message>
        <source>Title 9</source>
        <translation>Tytuł 9</translation>
    </message>
    <message>
        <source>Title 10</source>
        <translation>Tytuł 10</translation>
    </message>
    <message>
        <source>Title 11</source>
        <translation>Tytuł 11</translation>
    </message>
    <message>
        <source>Title 12</source>
        <translation>Tytuł 12</translation>
    </message>
    <message>
        <source>Title 13</source>
        <translation>Tytuł 13</translation>
    </message>
    <message>
        <source>Some devices give</source>
        <translation>Niektóre urządzenia podają</translation>
    </message>
    <message>
        <source>more than 1 Main value</source>
        <translation>więcej niż 1 wartość główną</translation>
    </message>
    <message>
        <source>Check this option, if that</source>
        <translation>Zaznacz tę opcję, jeśli</translation>
    </message>
    <message>
        <source>is the case </source>
        <translation>tak jest </translation>
    </message>
    <message>
        <source>Telvaro -&gt; Settings</source>
        <translation>Telvaro -&gt; Ustawienia</translation>
    </message>
    <message>
        <source>   Communication settings   </source>
        <translation>   Ustawienia komunikacji   </translation>
    </message>
    <message>
        <source>   Additional m-bus information   </source>
        <translation>   Dodatkowe informacje m-bus   </translation>
    </message>
    <message>
        <source>RTS control</source>
        <translation>Sterowanie RTS</translation>
    </message>
    <message>
        <source>DTR control</source>
        <translation>Sterowanie DTR</translation>
    </message>
    <message>
        <source>Use TCP/IP option </source>
        <translation>Użyj opcji TCP/IP </translation>
    </message>
    <message>
        <source>Use VELK-2 server</source>
        <translation>Użyj serwera VELK-2</translation>
    </message>
    <message>
        <source>   Remote connection settings   </source>
        <translation>   Ustawienia połączenia zdalnego   </translation>
    </message>
    <message>
        <source>Use VELK-2 or DRAV-4</source>
        <translation>Użyj VELK-2 lub DRAV-4</translation>
    </message>
    <message>
        <source>   Ethernet settings   </source>
        <translation>   Ustawienia Ethernet   </translation>
    </message>
    <message>
        <source>Auto open and listen</source>
        <translation>Automatycznie otwórz i nasłuchuj</translation>
    </message>
    <message>
        <source>Auto Read Display</source>
        <translation>Automatyczny odczyt wyświetlacza</translation>
    </message>
    <message>
        <source>Auto Read M-bus</source>
        <translation>Automatyczny odczyt M-bus</translation>
    </message>
    <message>
        <source>Secondary Search</source>
        <translation>Wyszukiwanie wtórne</translation>
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
        <translation>Inicjalizacja globalna</translation>
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
        <translation>Wcześniejsze zakończenie odpowiedzi</translation>
    </message>
    <message>
        <source>Take a reply as soon as it is a whole frame instead of one response timeout after the request</source>
        <translation>Przyjmij odpowiedź, gdy tylko tworzy pełną ramkę, zamiast czekać na upływ limitu czasu odpowiedzi po zapytaniu</translation>
    </message>
    <message>
        <source>Read all telegrams</source>
        <translation>Odczytaj wszystkie telegramy</translation>
    </message>
    <message>
        <source>Ask a meter for its next telegram while its reply announces more records</source>
        <translation>Żądaj od licznika kolejnego telegramu, dopóki jego odpowiedź zapowiada kolejne rekordy</translation>
    </message>
    <message>
        <source>Apply</source>
        <translation>Zastosuj</translation>
    </message>
    <message>
        <source>Secondary Main</source>
        <translation>Druga wartość główna</translation>
    </message>
    <message>
        <source>Close</source>
        <translation>Zamknij</translation>
    </message>
    <message>
        <source>Keep every reading in the archive</source>
        <translation>Zachowuj każdy odczyt w archiwum</translation>
    </message>
    <message>
        <source>margin</source>
        <translation>zapas</translation>
    </message>
    <message>
        <source>Standard bus timing</source>
        <translation>Standardowe czasy magistrali</translation>
    </message>
    <message>
        <source>On the serial port, an answer that has not begun within 330 bit times + 50 ms (plus the margin) of the request counts as silence; one that began is over when the line falls quiet</source>
        <translation>Na porcie szeregowym odpowiedź, która nie zaczęła się w ciągu 330 czasów bitu + 50 ms (plus zapas) od zapytania, liczy się jako cisza; rozpoczęta kończy się, gdy linia ucichnie</translation>
    </message>
    <message>
        <source>Readings archive</source>
        <translation>Archiwum odczytów</translation>
    </message>
    <message>
        <source>SQLite archive (*.sqlite)</source>
        <translation>Archiwum SQLite (*.sqlite)</translation>
    </message>
    <message>
        <source>Looking at the archive...</source>
        <translation>Sprawdzanie archiwum...</translation>
    </message>
    <message>
        <source>%1 is not there yet: it is made at the first reading.</source>
        <translation>%1 jeszcze nie istnieje: powstanie przy pierwszym odczycie.</translation>
    </message>
    <message numerus="yes">
        <source>%1 can be used: %n reading(s) in it.</source>
        <translation>
            <numerusform>%1 może być użyte: zawiera %n odczyt.</numerusform>
            <numerusform>%1 może być użyte: zawiera %n odczyty.</numerusform>
            <numerusform>%1 może być użyte: zawiera %n odczytów.</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%1 can only be read: %n reading(s) in it.</source>
        <translation>
            <numerusform>%1 można tylko czytać: zawiera %n odczyt.</numerusform>
            <numerusform>%1 można tylko czytać: zawiera %n odczyty.</numerusform>
            <numerusform>%1 można tylko czytać: zawiera %n odczytów.</numerusform>
        </translation>
    </message>
    <message>
        <source>the default file, or a file or postgresql://user@host/database</source>
        <translation>plik domyślny albo plik lub postgresql://użytkownik@host/baza</translation>
    </message>
    <message>
        <source>File...</source>
        <translation>Plik...</translation>
    </message>
    <message>
        <source>Test</source>
        <translation>Sprawdź</translation>
    </message>
</context>
<context>
    <name>TableFiles</name>
    <message>
        <source>CSV files (*.csv)</source>
        <translation>Pliki CSV (*.csv)</translation>
    </message>
    <message>
        <source>CSV (*.csv)</source>
        <translation>CSV (*.csv)</translation>
    </message>
    <message>
        <source>Line %1.</source>
        <translation>Wiersz %1.</translation>
    </message>
    <message>
        <source>Line %1 has %2 fields, the table has %3 columns: the fields are taken in order.</source>
        <translation>Wiersz %1 ma %2 pól, tabela ma %3 kolumn: pola wzięto po kolei.</translation>
    </message>
    <message>
        <source>Columns this table does not have, left out: %1</source>
        <translation>Kolumny, których ta tabela nie ma, pominięte: %1</translation>
    </message>
    <message>
        <source>Columns the file does not have, left empty: %1</source>
        <translation>Kolumny, których plik nie ma, pozostawione puste: %1</translation>
    </message>
    <message>
        <source>A quoted cell is never closed.</source>
        <translation>Komórka w cudzysłowie nie jest nigdzie zamknięta.</translation>
    </message>
    <message>
        <source>The file holds more than %1 rows, more than any bus: it is not read.</source>
        <translation>Plik zawiera więcej niż %1 wierszy, więcej niż jakakolwiek magistrala: nie zostaje wczytany.</translation>
    </message>
    <message>
        <source>The file is larger than %1 MB.</source>
        <translation>Plik jest większy niż %1 MB.</translation>
    </message>
    <message>
        <source>It holds binary data, not text.</source>
        <translation>Zawiera dane binarne, nie tekst.</translation>
    </message>
    <message>
        <source>A cell is longer than %1 characters.</source>
        <translation>Komórka jest dłuższa niż %1 znaków.</translation>
    </message>
</context>
<context>
    <name>UserRights</name>
    <message>
        <source>This user may not set devices (no right &quot;Allow setting devices&quot;), nothing sent...</source>
        <translation>Ten użytkownik nie może ustawiać urządzeń (brak uprawnienia &quot;Zezwól na ustawianie urządzeń&quot;), nic nie wysłano...</translation>
    </message>
    <message>
        <source>This user may not set the display (no right &quot;Allow setting display&quot;), nothing sent...</source>
        <translation>Ten użytkownik nie może ustawiać wyświetlacza (brak uprawnienia &quot;Zezwól na ustawianie wyświetlacza&quot;), nic nie wysłano...</translation>
    </message>
</context>
<context>
    <name>UsersWindow</name>
    <message>
        <source>Users and accounts</source>
        <translation>Użytkownicy i konta</translation>
    </message>
    <message>
        <source>Username:</source>
        <translation>Nazwa użytkownika:</translation>
    </message>
    <message>
        <source>Password:</source>
        <translation>Hasło:</translation>
    </message>
    <message>
        <source>Repeat password:</source>
        <translation>Powtórz hasło:</translation>
    </message>
    <message>
        <source>Access level:</source>
        <translation>Poziom dostępu:</translation>
    </message>
    <message>
        <source>Allow setting devices</source>
        <translation>Zezwól na ustawianie urządzeń</translation>
    </message>
    <message>
        <source>Allow setting communication</source>
        <translation>Zezwól na ustawianie komunikacji</translation>
    </message>
    <message>
        <source>Allow setting display</source>
        <translation>Zezwól na ustawianie wyświetlacza</translation>
    </message>
    <message>
        <source>Require login</source>
        <translation>Wymagaj logowania</translation>
    </message>
    <message>
        <source>Add/Change</source>
        <translation>Dodaj/Zmień</translation>
    </message>
    <message>
        <source>Delete</source>
        <translation>Usuń</translation>
    </message>
    <message>
        <source>Exit</source>
        <translation>Zamknij</translation>
    </message>
    <message>
        <source>User</source>
        <translation>Użytkownik</translation>
    </message>
    <message>
        <source>Access</source>
        <translation>Dostęp</translation>
    </message>
    <message>
        <source>Date reg.</source>
        <translation>Data rej.</translation>
    </message>
    <message>
        <source>m-bus</source>
        <translation>m-bus</translation>
    </message>
    <message>
        <source>Comm</source>
        <translation>Komun.</translation>
    </message>
    <message>
        <source>Display</source>
        <translation>Wyświetlacz</translation>
    </message>
    <message>
        <source>The account file %1 is read-only: its accounts are shown, but cannot be changed here.</source>
        <translation>Plik kont %1 jest tylko do odczytu: konta są pokazane, ale nie można ich tu zmienić.</translation>
    </message>
</context>
<context>
    <name>archive::ArchiveWorker</name>
    <message>
        <source>The archive %1 is closed</source>
        <translation>Archiwum %1 jest zamknięte</translation>
    </message>
    <message>
        <source>The archive %1 does not keep up (is its server stopped?)</source>
        <translation>Archiwum %1 nie nadąża (czy jego serwer stoi?)</translation>
    </message>
    <message>
        <source>The archive %1 was removed or replaced while in use: it is opened anew</source>
        <translation>Archiwum %1 zostało usunięte lub zastąpione w trakcie użycia: jest otwierane na nowo</translation>
    </message>
    <message>
        <source>The archive %1 is damaged (%2): what it shows may be incomplete or wrong</source>
        <translation>Archiwum %1 jest uszkodzone (%2): to, co pokazuje, może być niepełne lub błędne</translation>
    </message>
</context>
<context>
    <name>archive::ReadingArchive</name>
    <message>
        <source>The archive %1 cannot be reached: %2</source>
        <translation>Archiwum %1 jest nieosiągalne: %2</translation>
    </message>
    <message>
        <source>The archive %1 cannot be opened: %2</source>
        <translation>Nie można otworzyć archiwum %1: %2</translation>
    </message>
    <message>
        <source>The archive %1 is read-only and holds no readings</source>
        <translation>Archiwum %1 jest tylko do odczytu i nie zawiera odczytów</translation>
    </message>
    <message>
        <source>The archive %1 cannot be set up: %2</source>
        <translation>Nie można przygotować archiwum %1: %2</translation>
    </message>
    <message>
        <source>%1 is not a readings archive</source>
        <translation>%1 nie jest archiwum odczytów</translation>
    </message>
    <message>
        <source>The archive %1 was made by a newer Telvaro (schema %2): it is only read</source>
        <translation>Archiwum %1 utworzyła nowsza wersja Telvaro (schemat %2): jest tylko odczytywane</translation>
    </message>
    <message>
        <source>The archive is not open</source>
        <translation>Archiwum nie jest otwarte</translation>
    </message>
    <message>
        <source>The archive %1 is damaged (%2): nothing more is stored in it</source>
        <translation>Archiwum %1 jest uszkodzone (%2): nic więcej nie jest w nim zapisywane</translation>
    </message>
    <message>
        <source>The archive %1 is read-only</source>
        <translation>Archiwum %1 jest tylko do odczytu</translation>
    </message>
    <message>
        <source>Readings could not be written into %1: %2</source>
        <translation>Nie udało się zapisać odczytów w %1: %2</translation>
    </message>
    <message>
        <source>The archive %1 cannot be read: %2</source>
        <translation>Nie można odczytać archiwum %1: %2</translation>
    </message>
    <message>
        <source>The archive %1 cannot be opened: it is a folder</source>
        <translation>Nie można otworzyć archiwum %1: to jest folder</translation>
    </message>
    <message>
        <source>%1 is no database: nothing is stored in it</source>
        <translation>%1 nie jest bazą danych: nic nie jest w niej zapisywane</translation>
    </message>
    <message>
        <source>%1 is a database, but no readings archive: nothing is stored in it</source>
        <translation>%1 jest bazą danych, ale nie archiwum odczytów: nic nie jest w niej zapisywane</translation>
    </message>
    <message>
        <source>another program keeps it in WAL mode</source>
        <translation>inny program trzyma je w trybie WAL</translation>
    </message>
    <message>
        <source>it is no valid URL (in a password, @ / : % are written %40 %2F %3A %25)</source>
        <translation>to nie jest poprawny URL (w haśle @ / : % zapisuje się jako %40 %2F %3A %25)</translation>
    </message>
    <message>
        <source>it names no server</source>
        <translation>nie wskazuje serwera</translation>
    </message>
    <message>
        <source>it names no database (/DATABASE at its end)</source>
        <translation>nie wskazuje bazy danych (/BAZA na końcu)</translation>
    </message>
    <message>
        <source>The archive %1 cannot be used: %2</source>
        <translation>Archiwum %1 nie może być użyte: %2</translation>
    </message>
    <message>
        <source>The archive %1 cannot be brought up to date: %2</source>
        <translation>Archiwum %1 nie może zostać zaktualizowane: %2</translation>
    </message>
    <message>
        <source>A PostgreSQL archive is copied with the server&apos;s own tools (pg_dump)</source>
        <translation>Archiwum PostgreSQL kopiuje się narzędziami serwera (pg_dump)</translation>
    </message>
    <message>
        <source>%1 is there already: a copy is made only into a new file</source>
        <translation>%1 już istnieje: kopia powstaje tylko w nowym pliku</translation>
    </message>
    <message>
        <source>The archive %1 could not be copied to %2: %3</source>
        <translation>Nie udało się skopiować archiwum %1 do %2: %3</translation>
    </message>
</context>
<context>
    <name>display::DisplayCommands</name>
    <message>
        <source>No reply from the display</source>
        <translation>Brak odpowiedzi z wyświetlacza</translation>
    </message>
    <message>
        <source>Get info</source>
        <translation>Pobierz informacje</translation>
    </message>
    <message>
        <source>Set date and time of the display</source>
        <translation>Ustaw datę i czas wyświetlacza</translation>
    </message>
    <message>
        <source>Set refresh time of the display</source>
        <translation>Ustaw czas odświeżania wyświetlacza</translation>
    </message>
    <message>
        <source>Create sort table</source>
        <translation>Utwórz tabelę sortowania</translation>
    </message>
    <message>
        <source>Sort the display&apos;s table</source>
        <translation>Sortuj tabelę wyświetlacza</translation>
    </message>
    <message>
        <source>Update readings of the display</source>
        <translation>Aktualizuj odczyty wyświetlacza</translation>
    </message>
    <message>
        <source>%1 was sent to the display but not confirmed</source>
        <translation>%1 wysłano do wyświetlacza, ale nie potwierdzono</translation>
    </message>
</context>
<context>
    <name>display::ReadRun</name>
    <message>
        <source>No reply from the display</source>
        <translation>Brak odpowiedzi z wyświetlacza</translation>
    </message>
    <message>
        <source>No reply from the display for device %1</source>
        <translation>Brak odpowiedzi z wyświetlacza dla urządzenia %1</translation>
    </message>
    <message>
        <source>The reply names device %1, not device %2: not used...</source>
        <translation>Odpowiedź dotyczy urządzenia %1, nie urządzenia %2: nie użyto...</translation>
    </message>
    <message>
        <source>Get all memory data</source>
        <translation>Pobierz całą pamięć</translation>
    </message>
    <message>
        <source>Read data from the display</source>
        <translation>Odczytaj dane z wyświetlacza</translation>
    </message>
    <message>
        <source>Get historical values</source>
        <translation>Pobierz wartości historyczne</translation>
    </message>
</context>
<context>
    <name>display::WriteRun</name>
    <message>
        <source>No row of the display table is selected, nothing to do...</source>
        <translation>Nie zaznaczono żadnego wiersza tabeli wyświetlacza, nic do zrobienia...</translation>
    </message>
    <message>
        <source>No reply from the display for device %1</source>
        <translation>Brak odpowiedzi z wyświetlacza dla urządzenia %1</translation>
    </message>
    <message>
        <source>No initial value %1in the table for device %2, not written...</source>
        <translation>Brak wartości początkowej %1w tabeli dla urządzenia %2, nie zapisano...</translation>
    </message>
    <message>
        <source>Write table to the display</source>
        <translation>Zapisz tabelę na wyświetlaczu</translation>
    </message>
    <message>
        <source>Delete devices from the display</source>
        <translation>Usuń urządzenia z wyświetlacza</translation>
    </message>
    <message>
        <source>Zero start values in the display</source>
        <translation>Zeruj wartości początkowe w wyświetlaczu</translation>
    </message>
    <message>
        <source>%1 was sent to device %2 but not confirmed</source>
        <translation>%1 wysłano do urządzenia %2, ale nie potwierdzono</translation>
    </message>
</context>
</TS>
