-- LG phones of 2007 to 2009. The identification is the phone's answer to
-- AT+CGMI and AT+CGMM joined by "+" (Qualcomm-based models answer with the
-- chip maker). USB: vendor 4100 (0x1004); 24576 (0x6000) is the modem
-- interface most LG feature phones of these years share.

INSERT INTO Dorvanti (DEVICE_ID, InheritsFrom, Identification, Manufacturer, Model, OfficiallyReleased, Approved,
    supportsTarnexLG, SMSProtocol, USB_Vendor, DT_USB_Model, PS_USB_Model,
    GraphicDisplayHorizontal, GraphicDisplayVertical, CameraPhotos, ThemesFolder, PreferedVideoCodec,
    WebNotes)
VALUES
    -- KE850 Prada (2007): 3" touch screen 240x400, 2 MP camera, no themes.
    ('15275', 'LG+Family', 'LG Electronics+KE850', 'LG', 'KE850 Prada', '1', '1',
     '1', NULL, '4100', NULL, NULL,
     '240', '400', NULL, '-', NULL,
     'Touch screen model; calendar without tasks.'),
    -- KE970 Shine (2007): 240x320, 2 MP.
    ('15280', 'LG+Family', 'LG Electronics+KE970', 'LG', 'KE970 Shine', '1', '1',
     '1', NULL, '4100', NULL, NULL,
     '240', '320', NULL, NULL, NULL,
     NULL),
    -- KU380 (2007, 3G): announced, not offered by this edition.
    ('15290', 'LG+Family', 'LG Electronics+KU380', 'LG', 'KU380', NULL, NULL,
     '1', NULL, '4100', NULL, NULL,
     '176', '220', NULL, NULL, NULL,
     NULL),
    -- KU990 Viewty (2007): 3" touch screen 240x400, 5 MP camera, Qualcomm chip set.
    ('15320', 'LG+Family', 'QUALCOMM INCORPORATED+KU990', 'LG', 'KU990 Viewty', '1', '1',
     '1', '', '4100', '24576', NULL,
     '240', '400', '', NULL, 'MPEG-4',
     NULL),
    -- KF750 Secret (2008): 2.6" 240x400, 5 MP camera.
    ('15332', 'LG+Family2', 'LG Electronics+KF750', 'LG', 'KF750 Secret', '1', '1',
     '1', NULL, '4100', NULL, NULL,
     '240', '400', NULL, NULL, NULL,
     NULL),
    -- HB620T (2008): DVB-T receiver, 240x320, 3 MP, Qualcomm chip set.
    ('15333', 'LG+Family', 'QUALCOMM INCORPORATED+HB620T', 'LG', 'HB620T', '1', '1',
     '1', NULL, '4100', NULL, NULL,
     '240', '320', NULL, NULL, NULL,
     'Mobile TV phone.'),
    -- KC910 Renoir (2008): 3" 240x400, 8 MP camera.
    ('15363', 'LG+Family3', 'LG Electronics+KC910', 'LG', 'KC910 Renoir', '1', '1',
     '1', NULL, '4100', NULL, NULL,
     '240', '400', NULL, NULL, NULL,
     NULL),
    -- KM900 Arena (2009): 3" 480x800, 5 MP camera.
    ('15399', 'LG+Family3', 'LG Electronics+KM900', 'LG', 'KM900 Arena', '1', '1',
     '1', NULL, '4100', NULL, NULL,
     '480', '800', NULL, NULL, NULL,
     NULL),
    -- KP500 Cookie (2008): 3" 240x400, 3 MP camera.
    ('15410', 'LG+Family3', 'LG Electronics+KP500', 'LG', 'KP500 Cookie', '1', '1',
     '1', NULL, '4100', NULL, NULL,
     '240', '400', NULL, NULL, NULL,
     NULL),
    -- KS360 (2008): QWERTY slider, 2.2" 240x320, 2 MP camera.
    ('15450', 'LG+Family2', 'LG Elec. Inc+KS360', 'LG', 'KS360', '1', '1',
     '1', NULL, '4100', NULL, NULL,
     '240', '320', NULL, NULL, 'H.263',
     NULL),
    -- GD900 Crystal (2009): 3" 480x800, 8 MP camera, transparent keypad. The
    -- organizer kit speaks its own variant of the LG protocol ("lgGD900").
    ('15451', 'LG+Family3', 'LG Electronics Inc+GD900', 'LG', 'GD900 Crystal', '1', '1',
     '1', 'lgGD900/lgGD900', '4100', NULL, NULL,
     '480', '800', NULL, NULL, NULL,
     NULL);
