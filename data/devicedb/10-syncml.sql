-- Sync protocols. "UNKNOWN" serves every protocol without a row of its own.
-- Priorities: PriorityValuesForDevice maps the Mac's 0..9 to the phone's
-- vCalendar priority (1 high, 2 normal, 3 low); PriorityValuesForMac the other
-- way round.

INSERT INTO SyncML (SyncMLProtocol, ProtocolClass, SyncMLVersion, VCardVersion, Charset,
    SyncMLMaxMsgSize, SyncMLMaxSyncCMDNbInEncodedMsg, SyncMLNotesLength, ValidEventYears, OldestBirthYear,
    PriorityValuesForDevice, PriorityValuesForMac, syncContacts, syncCalendar,
    MaxLen_FirstName, MaxLen_LastName, MaxLen_PhoneNumber, MaxLen_Email, MaxNo_PhoneNumbers, MaxNo_Emails)
VALUES ('UNKNOWN', 'ATObexServer-SyncML', '1.1', '2.1', 'UTF-8',
    '8000', '20', '254', '1980-2037', '1900',
    '0111123333', '0159000000', '1', '1',
    '30', '30', '40', '60', '5', '2');

-- LG phones of this edition: organizer data over the organizer kit (AT
-- application port); no SyncML databases, SMS over the kit as well.
INSERT INTO SyncML (SyncMLProtocol, ProtocolClass, SyncMLVersion, VCardVersion, Charset,
    SyncMLMaxMsgSize, SyncMLNotesLength, ValidEventYears, OldestBirthYear, SupportsAllDayEvents, SupportsTimeZones,
    PriorityValuesForDevice, PriorityValuesForMac, syncContacts, syncCalendar, syncTasks, syncSMS,
    AllowedCharsInPhoneNumber, IgnoreProperties,
    MaxLen_FirstName, MaxLen_LastName, MaxLen_PhoneNumber, MaxLen_Email, MaxLen_Notes, MaxLen_Company,
    MaxLen_EventDesc, MaxLen_EventLocation, MaxLen_TaskSummary,
    MaxNo_PhoneNumbers, MaxNo_Emails, MaxNo_URLs, MaxNo_Addresses, Unique_PhoneNumberType, Unique_EmailType,
    PauseAnyAction, PauseAfterNormalClose)
VALUES ('Protocol LG', 'ATSerial-LG', '1.1', '2.1', 'UTF-8',
    '12288', '256', '2000-2037', '1950', '1', '0',
    '0111123333', '0159000000', '1', '1', '1', '1',
    '+0123456789*#pwPW', 'URL, NICKNAME,BDAY',
    '32', '32', '40', '48', '256', '32',
    '100', '32', '100',
    '5', '2', '1', '0', '1', '0',
    '0.5', '1.0');

INSERT INTO SyncML (SyncMLProtocol, ProtocolClass, SyncMLVersion, VCardVersion, Charset,
    SyncMLNotesLength, ValidEventYears, OldestBirthYear, SupportsAllDayEvents,
    PriorityValuesForDevice, PriorityValuesForMac, syncContacts, syncCalendar, syncTasks, syncSMS,
    AllowedCharsInPhoneNumber, IgnoreProperties,
    MaxLen_FirstName, MaxLen_LastName, MaxLen_PhoneNumber, MaxLen_Email, MaxLen_URL, MaxLen_Notes,
    MaxLen_Street, MaxLen_City, MaxLen_Zip, MaxLen_Country, MaxLen_EventDesc, MaxLen_EventLocation,
    MaxLen_TaskSummary, MaxNo_PhoneNumbers, MaxNo_Emails, MaxNo_URLs, MaxNo_Addresses,
    Unique_PhoneNumberType, Unique_EmailType, Unique_URLType, PauseAnyAction)
VALUES ('Protocol Motorola V3 Series', 'ATSerial-Motorola', '1.1', '2.1', 'UTF-8',
    '128', '1970-2037', '1900', '1',
    '0111123333', '0159000000', '1', '1', '1', '1',
    '+0123456789*#pw', 'NICKNAME',
    '24', '24', '32', '50', '100', '128',
    '50', '30', '10', '30', '64', '64',
    '64', '7', '2', '1', '2',
    '1', '1', '1', '0.3');

-- Samsung over AT commands (the phonebook and calendar commands of the
-- organizer kit) and Samsung over MOBEX (OBEX sync).
INSERT INTO SyncML (SyncMLProtocol, ProtocolClass, vxFormat, SyncMLVersion, VCardVersion, Charset,
    SyncMLNotesLength, ValidEventYears, OldestBirthYear, syncContacts, syncCalendar, syncSMS,
    PriorityValuesForDevice, PriorityValuesForMac,
    MaxLen_FirstName, MaxLen_LastName, MaxLen_PhoneNumber, MaxLen_Email, MaxLen_EventDesc,
    MaxNo_PhoneNumbers, MaxNo_Emails, MaxNo_URLs, MaxNo_Addresses)
VALUES ('Samsung AT', 'ATSerial-Samsung', 'Samsung', '1.1', '2.1', 'UTF-8',
    '100', '1980-2036', '1900', '1', '1', '1',
    '0111123333', '0159000000',
    '20', '20', '40', '60', '100',
    '5', '1', '1', '0');

INSERT INTO SyncML (SyncMLProtocol, ProtocolClass, vxFormat, SyncMLVersion, VCardVersion, Charset,
    SyncMLPhotos, SyncMLPictWidth, SyncMLPictHeight, MaxPictureBytes,
    SyncMLNotesLength, ValidEventYears, OldestBirthYear, SupportsAllDayEvents,
    syncContacts, syncCalendar, syncEvents, syncTasks, syncNotes, syncSMS,
    PriorityValuesForDevice, PriorityValuesForMac,
    MaxLen_FirstName, MaxLen_LastName, MaxLen_PhoneNumber, MaxLen_Email, MaxLen_URL, MaxLen_Notes,
    MaxLen_EventDesc, MaxLen_EventLocation, MaxLen_TaskSummary,
    MaxNo_PhoneNumbers, MaxNo_Emails, MaxNo_URLs, MaxNo_Addresses)
VALUES ('Samsung SHP', 'ATObex-Samsung-MOBEX', 'Samsung', '1.2', '2.1', 'UTF-8',
    '1', '96', '96', '0',
    '256', '1980-2036', '1900', '1',
    '1', '1', '1', '1', '1', '0',
    '0111123333', '0159000000',
    '30', '30', '40', '60', '100', '256',
    '100', '50', '100',
    '8', '3', '2', '2');

INSERT INTO SyncML (SyncMLProtocol, ProtocolClass, vxFormat, SyncMLVersion, VCardVersion, Charset,
    SyncMLPhotos, SyncMLNotesLength, ValidEventYears, OldestBirthYear, SupportsAllDayEvents,
    syncContacts, syncCalendar, syncEvents, syncTasks, syncNotes,
    PriorityValuesForDevice, PriorityValuesForMac,
    MaxLen_FirstName, MaxLen_LastName, MaxLen_PhoneNumber, MaxLen_Email, MaxLen_TaskSummary,
    MaxNo_PhoneNumbers, MaxNo_Emails, MaxNo_URLs, MaxNo_Addresses)
VALUES ('Samsung HPE', 'ATObex-Samsung-MOBEX', 'Samsung', '1.2', '2.1', 'UTF-8',
    '1', '256', '1980-2036', '1900', '1',
    '1', '1', '1', '1', '1',
    '0111123333', '0159000000',
    '30', '30', '40', '60', '100',
    '8', '3', '2', '2');

INSERT INTO SyncML (SyncMLProtocol, ProtocolClass, vxFormat, SyncMLVersion, VCardVersion, Charset,
    SyncMLNotesLength, ValidEventYears, OldestBirthYear,
    syncContacts, syncCalendar, syncEvents, syncTasks,
    MaxLen_FirstName, MaxLen_LastName, MaxLen_PhoneNumber, MaxLen_TaskSummary,
    MaxNo_PhoneNumbers, MaxNo_Emails)
VALUES ('Samsung Dragonfly Rel', 'ATObex-Samsung-MOBEX', 'Samsung', '1.2', '2.1', 'UTF-8',
    '256', '1980-2036', '1900',
    '1', '1', '1', '1',
    '30', '30', '40', '100',
    '6', '2');

-- SyncML over OBEX: the phone is the client, the program the server.
INSERT INTO SyncML (SyncMLProtocol, ProtocolClass, vxFormat, SyncMLVersion, VCardVersion, Charset,
    SyncMLLocalSource, SyncMLMaxMsgSize, SyncMLLargeObjectSupport, SyncMLNumberOfChangesSupport,
    SyncMLRefreshFromServerSupport, SyncMLMaxSyncCMDNbInEncodedMsg, SyncMLSendCTCap, UseSAN,
    SyncMLPhotos, SyncMLPictWidth, SyncMLPictHeight, MaxPictureBytes,
    ContactDatabase, CalendarDatabase, NotesDatabase,
    SourceContactDatabase, SourceCalendarDatabase, SourceNotesDatabase,
    syncContacts, syncCalendar, syncNotes, SupportsAllDayEvents, SupportsTimeZones,
    ValidEventYears, OldestBirthYear, PriorityValuesForDevice, PriorityValuesForMac,
    IgnoreProperties,
    MaxLen_FirstName, MaxLen_LastName, MaxLen_PhoneNumber, MaxLen_Email, MaxLen_URL, MaxLen_Notes,
    MaxLen_Street, MaxLen_City, MaxLen_Zip, MaxLen_Country, MaxLen_Company, MaxLen_JobTitle,
    MaxLen_EventDesc, MaxLen_EventLocation, MaxLen_TaskSummary,
    MaxNo_PhoneNumbers, MaxNo_Emails, MaxNo_URLs, MaxNo_Addresses,
    switchToSyncMLCommand, PauseAfterSyncMLClose)
VALUES ('Protocol Series 40', 'ATObexServer-SyncML', 'Nokia', '1.1', '2.1', 'UTF-8',
    'PC Suite', '10000', '1', '1',
    '1', '30', '1', '1',
    '1', '120', '160', '20000',
    'Contacts', 'Calendar', 'Notes',
    './contacts', './calendar', './notes',
    '1', '1', '1', '1', '0',
    '1980-2037', '1900', '0111123333', '0159000000',
    'X-SIP,X-ASSISTANT',
    '50', '50', '48', '60', '100', '255',
    '50', '50', '10', '50', '50', '50',
    '160', '160', '160',
    '5', '5', '2', '2',
    'AT*NSSP=4', '2.0');

INSERT INTO SyncML (SyncMLProtocol, ProtocolClass, vxFormat, SyncMLVersion, VCardVersion, Charset,
    SyncMLLocalSource, SyncMLMaxMsgSize, SyncMLLargeObjectSupport, SyncMLNumberOfChangesSupport,
    SyncMLRefreshFromServerSupport, SyncMLMaxSyncCMDNbInEncodedMsg, SyncMLSendCTCap,
    SyncMLPhotos, MaxPictureBytes,
    ContactDatabase, CalendarDatabase, NotesDatabase,
    SourceContactDatabase, SourceCalendarDatabase, SourceNotesDatabase,
    syncContacts, syncCalendar, syncNotes, syncTasks, SupportsAllDayEvents, SupportsTimeZones,
    ValidEventYears, OldestBirthYear, PriorityValuesForDevice, PriorityValuesForMac,
    MaxLen_FirstName, MaxLen_LastName, MaxLen_PhoneNumber, MaxLen_Email, MaxLen_Notes, MaxLen_TaskSummary,
    MaxNo_PhoneNumbers, MaxNo_Emails, MaxNo_URLs, MaxNo_Addresses)
VALUES ('Protocol Series 60 3rd', 'ATObexServer-SyncML', 'Nokia', '1.2', '2.1', 'UTF-8',
    'PC Suite', '16000', '1', '1',
    '1', '40', '1',
    '1', '65536',
    'Contacts', 'Calendar', 'Notes',
    './C\System\Data\Contacts.cdb', './C\System\Data\Calendar', './C\System\Data\Notepad.dat',
    '1', '1', '1', '1', '1', '1',
    '1900-2099', '1900', '0111123333', '0159000000',
    '60', '60', '48', '150', '1000', '160',
    '20', '10', '5', '3');

INSERT INTO SyncML (SyncMLProtocol, ProtocolClass, SyncMLVersion, VCardVersion, Charset,
    SyncMLLocalSource, SyncMLMaxMsgSize, SyncMLMaxSyncCMDNbInEncodedMsg,
    ContactDatabase, CalendarDatabase, SourceContactDatabase, SourceCalendarDatabase,
    syncContacts, syncCalendar, syncTasks, SupportsAllDayEvents,
    ValidEventYears, OldestBirthYear, PriorityValuesForDevice, PriorityValuesForMac,
    MaxLen_FirstName, MaxLen_LastName, MaxLen_PhoneNumber, MaxLen_Email, MaxLen_TaskSummary,
    MaxNo_PhoneNumbers, MaxNo_Emails, MaxNo_URLs, MaxNo_Addresses)
VALUES ('Protocol SonyEricsson', 'ATObexServer-SyncML', '1.1', '2.1', 'UTF-8',
    './contacts/calendar', '8000', '25',
    'Contacts', 'Calendar', './contacts', './calendar',
    '1', '1', '1', '1',
    '1980-2037', '1900', '0111123333', '0159000000',
    '40', '40', '40', '60', '80',
    '5', '3', '1', '2');

INSERT INTO SyncML (SyncMLProtocol, ProtocolClass, vxFormat, SyncMLVersion, VCardVersion, Charset,
    ContactDatabase, CalendarDatabase, syncContacts, syncCalendar,
    ValidEventYears, OldestBirthYear, FirstLast_Combi,
    MaxLen_FirstName, MaxLen_LastName, MaxLen_PhoneNumber, MaxLen_Email,
    MaxNo_PhoneNumbers, MaxNo_Emails, MaxNo_URLs, MaxNo_Addresses, PauseAnyAction)
VALUES ('Protocol Siemens IrMC', 'BT-Siemens-IrMC', NULL, '1.0', '2.1', 'ISO-8859-1',
    'telecom/pb', 'telecom/cal', '1', '1',
    '1980-2037', '1900', '0',
    '30', '30', '40', '50',
    '5', '2', '1', '1', '0.2');

INSERT INTO SyncML (SyncMLProtocol, ProtocolClass, vxFormat, SyncMLVersion, VCardVersion, Charset,
    ContactDatabase, syncContacts, ValidEventYears, OldestBirthYear, FirstLast_Combi, CopyCompanyToName,
    MaxLen_FirstName, MaxLen_LastName, MaxLen_PhoneNumber, MaxLen_Email,
    MaxNo_PhoneNumbers, MaxNo_Emails, MaxNo_URLs, MaxNo_Addresses, Unique_PhoneNumberType)
VALUES ('Protocol Gigaset', 'BT-Siemens-IrMC-Gigaset', 'Gigaset', '1.0', '2.1', 'ISO-8859-1',
    'telecom/pb', '1', '2000-2037', '1900', '1', '1',
    '16', '16', '32', '60',
    '3', '1', '0', '0', '1');

-- Exports to files rather than phones: no list limit a contact could reach
-- and photos kept as they are (16 MB).
INSERT INTO SyncML (SyncMLProtocol, ProtocolClass, VCardVersion, Charset, syncContacts, syncCalendar,
    MaxNo_PhoneNumbers, MaxNo_Emails, MaxNo_URLs, MaxNo_Addresses, SyncMLPhotos, MaxPictureBytes)
VALUES ('Export-2.1', 'Export', '2.1', 'UTF-8', '1', '1', '100000', '100000', '100000', '100000', '1', '16777216');
INSERT INTO SyncML (SyncMLProtocol, ProtocolClass, VCardVersion, Charset, syncContacts, syncCalendar,
    MaxNo_PhoneNumbers, MaxNo_Emails, MaxNo_URLs, MaxNo_Addresses, SyncMLPhotos, MaxPictureBytes)
VALUES ('Export-3.0', 'Export', '3.0', 'UTF-8', '1', '1', '100000', '100000', '100000', '100000', '1', '16777216');

-- The sync hub's client description of each protocol: one per set of
-- properties the protocol syncs (data/syncclients). Exports are no phones.
UPDATE SyncML SET SyncSchemaFile = 'MarvestoPhone-ContactsCalendar'
    WHERE SyncMLProtocol IN ('UNKNOWN', 'Protocol LG', 'Protocol Motorola V3 Series', 'Samsung AT',
                             'Samsung Dragonfly Rel', 'Protocol SonyEricsson', 'Protocol Siemens IrMC');
UPDATE SyncML SET SyncSchemaFile = 'MarvestoPhone-ContactsCalendarNotes'
    WHERE SyncMLProtocol IN ('Samsung SHP', 'Samsung HPE', 'Protocol Series 40', 'Protocol Series 60 3rd');
UPDATE SyncML SET SyncSchemaFile = 'MarvestoPhone-Contacts' WHERE SyncMLProtocol = 'Protocol Gigaset';
