-- Samsung phones of 2006 to 2009: the older models over AT commands, the
-- later ones over MOBEX (Samsung's OBEX sync). USB: vendor 1256 (0x04E8);
-- 26113 (0x6601) is the modem interface of many Samsung feature phones.

INSERT INTO Dorvanti (DEVICE_ID, InheritsFrom, Identification, Manufacturer, Model, OfficiallyReleased, Approved,
    supportsTarnexSamsung, supportsDorvanti, SyncMLProtocol, USB_Vendor, DT_USB_Model, PS_USB_Model,
    GraphicDisplayHorizontal, GraphicDisplayVertical, TransferSpeed)
VALUES
    ('14001', 'Samsung+Family-AT', 'SAMSUNG ELECTRONICS+SGH-E250', 'Samsung', 'SGH-E250', '1', '1',
     '1', '1', NULL, '1256', '26113', NULL, '128', '160', NULL),
    ('14002', 'Samsung+Family-AT', 'SAMSUNG ELECTRONICS+SGH-D900', 'Samsung', 'SGH-D900', '1', '1',
     '1', '1', NULL, '1256', '26113', NULL, '240', '320', NULL),
    ('14003', 'Samsung+Family-AT', 'SAMSUNG ELECTRONICS+SGH-E900', 'Samsung', 'SGH-E900', '1', '1',
     '1', '1', NULL, '1256', NULL, NULL, '240', '320', NULL),
    ('14004', 'Samsung+Family-AT', 'SAMSUNG ELECTRONICS+SGH-U600', 'Samsung', 'SGH-U600', '1', '1',
     '1', '1', NULL, '1256', NULL, NULL, '240', '320', NULL),
    ('14005', 'Samsung+Family-MOBEX', 'SAMSUNG ELECTRONICS+SGH-F480', 'Samsung', 'SGH-F480 Tocco', '1', '1',
     '1', '1', NULL, '1256', NULL, NULL, '240', '320', NULL),
    ('14006', 'Samsung+Family-MOBEX', 'SAMSUNG ELECTRONICS+SGH-U900', 'Samsung', 'SGH-U900 Soul', '1', '1',
     '1', '1', NULL, '1256', NULL, NULL, '240', '320', NULL),
    ('14007', 'Samsung+Family-MOBEX', 'SAMSUNG ELECTRONICS+SGH-G600', 'Samsung', 'SGH-G600', '1', '1',
     '1', '1', NULL, '1256', NULL, NULL, '240', '320', NULL),
    ('14008', 'Samsung+Family-MOBEX', 'SAMSUNG ELECTRONICS+GT-S8000', 'Samsung', 'GT-S8000 Jet', '1', '1',
     '1', '1', 'Samsung HPE', '1256', NULL, NULL, '480', '800', NULL),
    ('14009', 'Samsung+Family-MOBEX', 'SAMSUNG ELECTRONICS+GT-S5230', 'Samsung', 'GT-S5230 Star', '1', '1',
     '1', '1', 'Samsung HPE', '1256', '26517', NULL, '240', '400', NULL),
    ('14010', 'Samsung+Family-MOBEX', 'SAMSUNG ELECTRONICS+GT-S8500', 'Samsung', 'GT-S8500 Wave', NULL, NULL,
     '1', NULL, 'Samsung Dragonfly Rel', '1256', NULL, NULL, '480', '800', '-1');
