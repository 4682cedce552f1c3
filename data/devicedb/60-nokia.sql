-- Nokia phones of 2005 to 2008: Series 40 and Series 60 3rd Edition, sync by
-- SyncML over OBEX. USB: vendor 1057 (0x0421); the product is the phone's
-- PC-Suite (modem) interface.

INSERT INTO Dorvanti (DEVICE_ID, InheritsFrom, Identification, Manufacturer, Model, OfficiallyReleased, Approved,
    supportsDorvanti, supportsSovrane, USB_Vendor, DT_USB_Model, PS_USB_Model,
    GraphicDisplayHorizontal, GraphicDisplayVertical, BatteryMax)
VALUES
    ('11001', 'Nokia+Family-S40', 'Nokia+Nokia 6230i', 'Nokia', '6230i', '1', '1',
     '1', '1', '1057', '1064', '1065', '208', '208', NULL),
    ('11002', 'Nokia+Family-S40', 'Nokia+Nokia 6300', 'Nokia', '6300', '1', '1',
     '1', '1', '1057', '1273', NULL, '240', '320', NULL),
    ('11003', 'Nokia+Family-S40', 'Nokia+Nokia 5310 XpressMusic', 'Nokia', '5310 XpressMusic', '1', '1',
     '1', '1', '1057', NULL, NULL, '240', '320', NULL),
    ('11004', 'Nokia+Family-S40', 'Nokia+Nokia 6500c', 'Nokia', '6500 classic', '1', '1',
     '1', '1', '1057', NULL, NULL, '240', '320', NULL),
    ('11005', 'Nokia+Family-S60', 'Nokia+Nokia N95', 'Nokia', 'N95', '1', '1',
     '1', '1', '1057', '1264', NULL, '240', '320', NULL),
    ('11006', 'Nokia+Family-S60', 'Nokia+Nokia N73', 'Nokia', 'N73', '1', '1',
     '1', '1', '1057', NULL, NULL, '240', '320', NULL),
    ('11007', 'Nokia+Family-S60', 'Nokia+Nokia 6120c', 'Nokia', '6120 classic', '1', '1',
     '1', '1', '1057', '47', '45', '240', '320', NULL),
    ('11008', 'Nokia+Family-S60', 'Nokia+Nokia E71', 'Nokia', 'E71', '1', '1',
     '1', '1', '1057', NULL, NULL, '320', '240', NULL);
