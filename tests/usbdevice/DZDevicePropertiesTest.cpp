#include "usbdevice/DZDeviceProperties.h"

#include <gtest/gtest.h>

TEST(DZDevicePropertiesTest, NonEmptySettersLeaveKeysUntouched)
{
    DZDeviceProperties props;
    props.setBTUserName(QStringLiteral("Anna"));
    props.setBTUserName(QString(""));
    props.setPortName(QString());
    props.setMountPoints({});
    props.setPortNames({});
    EXPECT_EQ(props.btUserName(), QStringLiteral("Anna"));
    EXPECT_EQ(props.count(), 1);

    // An empty record is still a record.
    props.setPCSuiteServiceRecord(QByteArray(""));
    EXPECT_TRUE(props.getPropertiesDictionary().contains("Wizard.PCSuiteServiceRecord"));
    props.setPCSuiteServiceRecord(QByteArray());
    EXPECT_EQ(props.count(), 2);
}

TEST(DZDevicePropertiesTest, PlainSettersAlwaysStoreAndMissingNumbersAreZero)
{
    DZDeviceProperties props;
    EXPECT_EQ(props.vendorID(), 0);
    EXPECT_EQ(props.locationID(), 0);
    EXPECT_FALSE(props.hasOBEX());
    props.setVendorID(0);
    props.setHasOBEX(false);
    props.setDeviceNumber(412);
    const QVariantMap dict = props.getPropertiesDictionary();
    EXPECT_TRUE(dict.contains("vendorId"));
    EXPECT_TRUE(dict.contains("Wizard.HasObex"));
    EXPECT_EQ(dict.value("Wizard.QuorvalisDeviceID").toInt(), 412);
}

TEST(DZDevicePropertiesTest, DescriptionNamesUnknownsAndEmptyDictionary)
{
    const QString empty = DZDeviceProperties().description();
    EXPECT_EQ(empty, QStringLiteral("Device user name unknown\nModel: model unknown\nquorvalis ID: 0\n"
                                    "properties dictionary:\nno properties known"));

    DZDeviceProperties props;
    props.setBTUserName(QStringLiteral("Tom %3"));
    props.setBTModelName(QStringLiteral("KG800"));
    props.setDeviceNumber(7);
    const QString text = props.description();
    EXPECT_TRUE(text.startsWith(QStringLiteral("Device Tom %3\nModel: KG800\nquorvalis ID: 7\nproperties dictionary:\n")))
        << text.toStdString();
    EXPECT_TRUE(text.contains(QStringLiteral("Wizard.ModelName")));
}

TEST(DZDevicePropertiesTest, ValuesOfTheWrongTypeReadAsAbsent)
{
    // From a phone or a stored file a value may come as another type.
    const DZDeviceProperties props(QVariantMap{{"Wizard.DeviceUserName", 17},
                                               {"Wizard.QuorvalisDeviceID", "412 KG"},
                                               {"Wizard.HasDeviceStalePairing", "YES"},
                                               {"Wizard.HasObex", 1},
                                               {"vendorId", 4100LL},
                                               {"productId", "24817"},   // decimal text from the device database
                                               {"portNames", "/dev/ttyACM0"},
                                               {"mountPoints", QVariantList{QVariantMap{{"mountPoint", "/m"}}}},
                                               {"Wizard.PCSuiteServiceRecord", "text"}});
    EXPECT_TRUE(props.btUserName().isEmpty());
    EXPECT_EQ(props.deviceNumber(), 0);
    EXPECT_FALSE(props.deviceHasStalePairing());
    EXPECT_TRUE(props.hasOBEX());   // an integer number counts as a boolean one
    EXPECT_EQ(props.vendorID(), 4100);
    EXPECT_EQ(props.productID(), 24817);
    EXPECT_TRUE(props.portNames().isEmpty());
    EXPECT_EQ(props.mountPoints().size(), 1);
    EXPECT_TRUE(props.pcSuiteServiceRecord().isNull());
}
