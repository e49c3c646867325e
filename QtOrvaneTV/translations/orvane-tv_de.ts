<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="de_DE">
<context>
    <name>ArchiveCell</name>
    <message>
        <source>...</source>
        <translation>...</translation>
    </message>
    <message>
        <source>Mark for later</source>
        <translation>Für später merken</translation>
    </message>
</context>
<context>
    <name>ArchivePlayerWidget</name>
    <message>
        <source>...</source>
        <translation>...</translation>
    </message>
    <message>
        <source>Pause</source>
        <translation>Pause</translation>
    </message>
    <message>
        <source>Play</source>
        <translation>Wiedergabe</translation>
    </message>
    <message>
        <source>Unmute</source>
        <translation>Ton an</translation>
    </message>
    <message>
        <source>Mute</source>
        <translation>Stumm</translation>
    </message>
    <message>
        <source>Display Settings</source>
        <translation>Anzeigeeinstellungen</translation>
    </message>
</context>
<context>
    <name>ColorProfileWidget</name>
    <message>
        <source>Select Color Range</source>
        <translation>Farbbereich wählen</translation>
    </message>
    <message>
        <source>Select Color Profile</source>
        <translation>Farbprofil wählen</translation>
    </message>
</context>
<context>
    <name>CompanySelectionItemWidget</name>
    <message>
        <source>YOUR SPACES</source>
        <translation>IHRE BEREICHE</translation>
    </message>
    <message>
        <source>Spaces allow you to collaborate with others who have
the same content permissions. Join a space to get started.</source>
        <translation>In Bereichen arbeiten Sie mit anderen zusammen, die dieselben
Inhaltsrechte haben. Treten Sie einem Bereich bei, um zu beginnen.</translation>
    </message>
    <message>
        <source>Created </source>
        <translation>Erstellt am </translation>
    </message>
</context>
<context>
    <name>CompanySelectionWidget</name>
    <message>
        <source>Your Projects</source>
        <translation>Ihre Projekte</translation>
    </message>
    <message>
        <source>Welcome to Orvane TV!</source>
        <translation>Willkommen bei Orvane TV!</translation>
    </message>
    <message>
        <source>You don&apos;t have any projects yet. Ask a project administrator
to add you to it, and it will appear here.</source>
        <translation>Sie haben noch keine Projekte. Bitten Sie einen Projektadministrator,
Sie hinzuzufügen, dann erscheint es hier.</translation>
    </message>
</context>
<context>
    <name>DashboardPlayerWidget</name>
    <message>
        <source>...</source>
        <translation>...</translation>
    </message>
    <message>
        <source>Unmute</source>
        <translation>Ton an</translation>
    </message>
    <message>
        <source>Mute</source>
        <translation>Stumm</translation>
    </message>
    <message>
        <source>Display Settings</source>
        <translation>Anzeigeeinstellungen</translation>
    </message>
</context>
<context>
    <name>DashboardWidget</name>
    <message>
        <source>Multiview</source>
        <translation>Mehrfachansicht</translation>
    </message>
    <message>
        <source>Layouts</source>
        <translation>Layouts</translation>
    </message>
    <message>
        <source>Sources (Ctrl+S)</source>
        <translation>Quellen (Strg+S)</translation>
    </message>
</context>
<context>
    <name>DatePicker</name>
    <message>
        <source>Reset</source>
        <translation>Zurücksetzen</translation>
    </message>
    <message>
        <source>Apply</source>
        <translation>Übernehmen</translation>
    </message>
    <message>
        <source>Please select a date or a range of dates</source>
        <translation>Bitte wählen Sie ein Datum oder einen Zeitraum</translation>
    </message>
</context>
<context>
    <name>LiveFeedSelectionWidget</name>
    <message>
        <source>Multiview</source>
        <translation>Mehrfachansicht</translation>
    </message>
    <message>
        <source>Two feeds</source>
        <translation>Zwei Feeds</translation>
    </message>
    <message>
        <source>Three feeds</source>
        <translation>Drei Feeds</translation>
    </message>
    <message>
        <source>Four feeds</source>
        <translation>Vier Feeds</translation>
    </message>
    <message>
        <source>All Live Feeds</source>
        <translation>Alle Live-Feeds</translation>
    </message>
    <message>
        <source>&lt;html&gt;&lt;head/&gt;&lt;body&gt;&lt;p&gt;Multiview helps you view and collaborate with multiple live feeds at once. &lt;/p&gt;&lt;p&gt;You can choose the placement of each camera once you’ve selected a layout from below. Your placement of cameras will be saved automatically&lt;/p&gt;&lt;/body&gt;&lt;/html&gt;</source>
        <translation>&lt;html&gt;&lt;head/&gt;&lt;body&gt;&lt;p&gt;Mit der Mehrfachansicht sehen Sie mehrere Live-Feeds gleichzeitig und arbeiten gemeinsam daran. &lt;/p&gt;&lt;p&gt;Sobald Sie unten ein Layout gewählt haben, können Sie die Position jeder Kamera festlegen. Ihre Anordnung wird automatisch gespeichert&lt;/p&gt;&lt;/body&gt;&lt;/html&gt;</translation>
    </message>
</context>
<context>
    <name>LoginWidget</name>
    <message>
        <source>Sign in</source>
        <translation>Anmelden</translation>
    </message>
    <message>
        <source>Email</source>
        <translation>E-Mail</translation>
    </message>
    <message>
        <source>Password or Login Code</source>
        <translation>Passwort oder Anmeldecode</translation>
    </message>
    <message>
        <source>Log In</source>
        <translation>Anmelden</translation>
    </message>
    <message>
        <source>Continue with</source>
        <translation>Weiter mit</translation>
    </message>
    <message>
        <source>Continue with Apple</source>
        <translation>Weiter mit Apple</translation>
    </message>
    <message>
        <source>Continue with Facebook</source>
        <translation>Weiter mit Facebook</translation>
    </message>
    <message>
        <source>Continue with Google</source>
        <translation>Weiter mit Google</translation>
    </message>
    <message>
        <source>Forgot password?</source>
        <translation>Passwort vergessen?</translation>
    </message>
    <message>
        <source>Please enter an email</source>
        <translation>Bitte geben Sie eine E-Mail-Adresse ein</translation>
    </message>
    <message>
        <source>Please enter a valid email</source>
        <translation>Bitte geben Sie eine gültige E-Mail-Adresse ein</translation>
    </message>
    <message>
        <source>Please enter a password or access code</source>
        <translation>Bitte geben Sie ein Passwort oder einen Zugangscode ein</translation>
    </message>
    <message>
        <source>Login failed</source>
        <translation>Anmeldung fehlgeschlagen</translation>
    </message>
    <message>
        <source>Resend Code</source>
        <translation>Code erneut senden</translation>
    </message>
    <message>
        <source>Dismiss</source>
        <translation>Schließen</translation>
    </message>
    <message>
        <source>Code Sent</source>
        <translation>Code gesendet</translation>
    </message>
    <message>
        <source>Code was sent to %1.
If you don’t receive a code, contact your company admin</source>
        <translation>Der Code wurde an %1 gesendet.
Wenn Sie keinen Code erhalten, wenden Sie sich an Ihren Firmenadministrator</translation>
    </message>
    <message>
        <source>Enter email</source>
        <translation>E-Mail-Adresse eingeben</translation>
    </message>
    <message>
        <source>Email:</source>
        <translation>E-Mail:</translation>
    </message>
    <message>
        <source>Request received</source>
        <translation>Anfrage erhalten</translation>
    </message>
    <message>
        <source>Please check your email</source>
        <translation>Bitte sehen Sie in Ihr E-Mail-Postfach</translation>
    </message>
    <message>
        <source>Error resetting password</source>
        <translation>Fehler beim Zurücksetzen des Passworts</translation>
    </message>
    <message>
        <source>Error reading file</source>
        <translation>Fehler beim Lesen der Datei</translation>
    </message>
</context>
<context>
    <name>MainWindow</name>
    <message>
        <source>Orvane TV</source>
        <translation>Orvane TV</translation>
    </message>
    <message>
        <source>Core Production</source>
        <translation>Core Produktion</translation>
    </message>
    <message>
        <source>Core Staging</source>
        <translation>Core Staging</translation>
    </message>
    <message>
        <source>OTV Production</source>
        <translation>OTV Produktion</translation>
    </message>
    <message>
        <source>OTV Staging</source>
        <translation>OTV Staging</translation>
    </message>
    <message>
        <source>OTV Dev</source>
        <translation>OTV Entwicklung</translation>
    </message>
    <message>
        <source>Orvane TV v%1</source>
        <translation>Orvane TV v%1</translation>
    </message>
    <message>
        <source>Error loading shares</source>
        <translation>Fehler beim Laden der Freigaben</translation>
    </message>
    <message>
        <source>Could not load workspaces</source>
        <translation>Arbeitsbereiche konnten nicht geladen werden</translation>
    </message>
    <message>
        <source>No company selected</source>
        <translation>Keine Firma ausgewählt</translation>
    </message>
    <message>
        <source>Open Chat App</source>
        <translation>Chat-Programm öffnen</translation>
    </message>
    <message>
        <source>Executable Files (QtOrvaneTVChat)</source>
        <translation>Programme (QtOrvaneTVChat)</translation>
    </message>
</context>
<context>
    <name>PlayerSettingsDialog</name>
    <message>
        <source>Player Settings</source>
        <translation>Player-Einstellungen</translation>
    </message>
    <message>
        <source>Player settings for </source>
        <translation>Player-Einstellungen für </translation>
    </message>
    <message>
        <source>Done</source>
        <translation>Fertig</translation>
    </message>
</context>
<context>
    <name>PlayerSettingsRootWidget</name>
    <message>
        <source>COLOR SETTINGS</source>
        <translation>FARBEINSTELLUNGEN</translation>
    </message>
    <message>
        <source>DELAY</source>
        <translation>VERZÖGERUNG</translation>
    </message>
    <message>
        <source>Auto</source>
        <translation>Automatisch</translation>
    </message>
    <message>
        <source>Color Profile</source>
        <translation>Farbprofil</translation>
    </message>
    <message>
        <source>Color Range</source>
        <translation>Farbbereich</translation>
    </message>
    <message>
        <source>%1 ms</source>
        <translation>%1 ms</translation>
    </message>
</context>
<context>
    <name>ProjectFeedSelectionWidget</name>
    <message>
        <source>Live Feeds</source>
        <translation>Live-Feeds</translation>
    </message>
    <message>
        <source>Recordings</source>
        <translation>Aufnahmen</translation>
    </message>
</context>
<context>
    <name>ProjectSpaceWidget</name>
    <message>
        <source>Shared by </source>
        <translation>Geteilt von </translation>
    </message>
</context>
<context>
    <name>RecordingsSelectionWidget</name>
    <message>
        <source>All Recordings</source>
        <translation>Alle Aufnahmen</translation>
    </message>
    <message>
        <source>Filters</source>
        <translation>Filter</translation>
    </message>
    <message>
        <source>All recordings</source>
        <translation>Alle Aufnahmen</translation>
    </message>
    <message>
        <source>Ascending</source>
        <translation>Aufsteigend</translation>
    </message>
    <message>
        <source>Newest Upload</source>
        <translation>Neueste Uploads</translation>
    </message>
    <message>
        <source>Marked for later</source>
        <translation>Für später gemerkt</translation>
    </message>
    <message>
        <source>Recently Viewed</source>
        <translation>Zuletzt angesehen</translation>
    </message>
    <message>
        <source>Marked Clips</source>
        <translation>Gemerkte Clips</translation>
    </message>
    <message>
        <source>Date</source>
        <translation>Datum</translation>
    </message>
    <message>
        <source>Descending</source>
        <translation>Absteigend</translation>
    </message>
</context>
<context>
    <name>SettingsWidget</name>
    <message>
        <source>Settings</source>
        <translation>Einstellungen</translation>
    </message>
    <message>
        <source>ACCOUNT</source>
        <translation>KONTO</translation>
    </message>
    <message>
        <source>    Logout</source>
        <translation>    Abmelden</translation>
    </message>
</context>
<context>
    <name>Startup</name>
    <message>
        <source>Something went wrong, please try again.</source>
        <translation>Etwas ist schiefgelaufen, bitte versuchen Sie es erneut.</translation>
    </message>
</context>
</TS>
