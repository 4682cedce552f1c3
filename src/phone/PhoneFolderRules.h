#pragma once

// What the device object's start asks of the rules for the phone's folders,
// volumes and capabilities. The device's own PhoneFolders serve it; a rules
// object made through MFDevice::Makers takes the start's steps instead.
class PhoneFolderRules {
public:
    virtual ~PhoneFolderRules() = default;
    // Reads the phone's capability object where it has one; true when that
    // read failed.
    virtual bool updateCapabilities() = 0;
    // A known phone found under a new serial number keeps its files mirror.
    virtual void checkIfMirrorMustBeRenamed() = 0;
    // Media formats, path prefixes, volumes and backup defaults of a phone
    // with a file-transfer connection.
    virtual void preProcessDevice() = 0;
};
