-- Motorola GSM phones of 2004 to 2008 (P2K platform). USB: vendor 8888
-- (0x22B8); 18690 (0x4902) is the AT modem interface of the "Triplet"
-- models, 18691 (0x4903) their P2K interface.

INSERT INTO Dorvanti (DEVICE_ID, InheritsFrom, Identification, Manufacturer, Model, OfficiallyReleased, Approved,
    supportsDorvanti, USB_Vendor, DT_USB_Model, PS_USB_Model, GraphicDisplayHorizontal, GraphicDisplayVertical,
    CameraVideos, BatteryMax, SoundPlaysMusic)
VALUES
    ('12001', 'Motorola+Family', 'Motorola CE, Copyright 2000+V3', 'Motorola', 'RAZR V3', '1', '1',
     '1', '8888', '18690', '18691', '176', '220', '-', NULL, '0'),
    ('12002', 'Motorola+Family', 'Motorola CE, Copyright 2000+V3i', 'Motorola', 'RAZR V3i', '1', '1',
     '1', '8888', NULL, NULL, '176', '220', NULL, NULL, NULL),
    ('12003', 'Motorola+Family', 'Motorola CE, Copyright 2000+L7', 'Motorola', 'SLVR L7', '1', '1',
     '1', '8888', NULL, NULL, '176', '220', NULL, NULL, NULL),
    ('12004', 'Motorola+Family', 'Motorola CE, Copyright 2000+E398', 'Motorola', 'E398', '1', '1',
     '1', '8888', NULL, NULL, '176', '220', NULL, NULL, NULL),
    ('12005', 'Motorola+Family', 'Motorola CE, Copyright 2000+V360', 'Motorola', 'V360', '1', '1',
     '1', '8888', NULL, NULL, '176', '220', NULL, NULL, NULL),
    ('12006', 'Motorola+Family', 'Motorola CE, Copyright 2000+K1', 'Motorola', 'KRZR K1', '1', '1',
     '1', '8888', NULL, NULL, '176', '220', NULL, NULL, NULL),
    ('12007', 'Motorola+Family', 'Motorola CE, Copyright 2000+V8', 'Motorola', 'RAZR2 V8', '1', '1',
     '1', '8888', NULL, NULL, '240', '320', NULL, NULL, NULL),
    ('12008', 'Motorola+Family', 'Motorola CE, Copyright 2000+E1', 'Motorola', 'ROKR E1', '1', '1',
     '1', '8888', NULL, NULL, '176', '220', NULL, NULL, NULL);
