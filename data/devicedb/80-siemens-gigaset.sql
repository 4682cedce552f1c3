-- Siemens mobile phones of 2004 and 2005 (IrMC sync over Bluetooth) and
-- Gigaset DECT handsets and bases with Bluetooth (Gigaset 2007 to 2010).

INSERT INTO Dorvanti (DEVICE_ID, InheritsFrom, Identification, Manufacturer, Model, OfficiallyReleased, Approved,
    supportsDorvanti, supportsSovrane, GraphicDisplayHorizontal, GraphicDisplayVertical, sendSMS, TransferSpeed)
VALUES
    ('13001', 'Siemens+Family', 'SIEMENS+S65', 'Siemens', 'S65', '1', '1',
     '1', NULL, '132', '176', NULL, NULL),
    ('13002', 'Siemens+Family', 'SIEMENS+M65', 'Siemens', 'M65', '1', '1',
     '1', NULL, '132', '176', NULL, NULL),
    ('13003', 'Siemens+Family', 'SIEMENS+SL65', 'Siemens', 'SL65', '1', '1',
     '1', NULL, '132', '176', NULL, NULL),
    ('13004', 'Siemens+Family', 'SIEMENS+S75', 'Siemens', 'S75', '1', '1',
     '1', NULL, '132', '176', NULL, NULL),
    ('15370', 'Gigaset+Family', 'Gigaset+SL560', 'Gigaset', 'SL560', '1', '1',
     NULL, '1', '128', '160', NULL, NULL),
    ('15371', 'Gigaset+Family', 'Gigaset+S68H', 'Gigaset', 'S68H', '1', '1',
     NULL, '1', '128', '160', NULL, NULL),
    ('15372', 'Gigaset+Family', 'Gigaset+SL78H', 'Gigaset', 'SL78H', '1', '1',
     NULL, '1', '128', '160', NULL, NULL),
    -- SL400 (2010): wide-band (G.722) handset; newer firmware answers AT^HSMM.
    ('15373', 'Gigaset+Family', 'Gigaset+SL400', 'Gigaset', 'SL400', '1', '1',
     NULL, '1', '240', '320', NULL, NULL),
    ('15374', 'Gigaset+Family', 'Gigaset+DX600A isdn', 'Gigaset', 'DX600A isdn', '1', '1',
     NULL, '1', '240', '320', NULL, NULL);
