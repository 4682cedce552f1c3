#pragma once

// The receiver of complete OBEX packets of a serial channel. Called on a
// later pass of the main run loop; the packet is read from the channel's
// commBuffer() / currentBuffIndex().
class SerialDelegateProtocol {
public:
    virtual ~SerialDelegateProtocol() = default;
    virtual void processObexData() = 0;
};
