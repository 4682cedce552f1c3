-- Sony Ericsson phones of 2005 to 2008, sync by SyncML over OBEX. USB:
-- vendor 4046 (0x0FCE).

INSERT INTO Dorvanti (DEVICE_ID, InheritsFrom, Identification, Manufacturer, Model, OfficiallyReleased, Approved,
    supportsDorvanti, supportsSovrane, USB_Vendor, DT_USB_Model, PS_USB_Model,
    GraphicDisplayHorizontal, GraphicDisplayVertical)
VALUES
    ('12501', 'SonyEricsson+Family', 'Sony Ericsson+K750i', 'Sony Ericsson', 'K750i', '1', '1',
     '1', '1', '4046', '53270', NULL, '176', '220'),
    ('12502', 'SonyEricsson+Family', 'Sony Ericsson+W810i', 'Sony Ericsson', 'W810i', '1', '1',
     '1', '1', '4046', '53314', NULL, '176', '220'),
    ('12503', 'SonyEricsson+Family', 'Sony Ericsson+K800i', 'Sony Ericsson', 'K800i', '1', '1',
     '1', '1', '4046', NULL, NULL, '240', '320'),
    ('12504', 'SonyEricsson+Family', 'Sony Ericsson+W850i', 'Sony Ericsson', 'W850i', '1', '1',
     '1', '1', '4046', NULL, NULL, '240', '320'),
    ('12505', 'SonyEricsson+Family', 'Sony Ericsson+W910i', 'Sony Ericsson', 'W910i', '1', '1',
     '1', '1', '4046', '53366', NULL, '240', '320'),
    ('12506', 'SonyEricsson+Family', 'Sony Ericsson+C905', 'Sony Ericsson', 'C905', '1', '1',
     '1', '1', '4046', NULL, NULL, '240', '320');
