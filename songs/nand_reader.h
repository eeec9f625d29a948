#pragma once

class CUSBConnect;

// Where a slot's load reads the song NAND from: the pedal through the device link, or a
// byte image in memory (the fuzz harness). Loads only read; they never change the flash.
class CNandReader {
public:
    virtual ~CNandReader();
    // Fills `buffer` with the `length` bytes at byte `address` of the NAND; false when any
    // byte could not be read.
    [[nodiscard]] virtual bool read_nand(unsigned int address, unsigned char* buffer,
                                         unsigned int length) = 0;
};

// The pedal's NAND through the device link's flash read (one round trip per 5105 bytes).
class CLinkNandReader final : public CNandReader {
public:
    explicit CLinkNandReader(CUSBConnect* connection) : usb(connection) {}
    void bind(CUSBConnect* connection) { usb = connection; }
    [[nodiscard]] bool read_nand(unsigned int address, unsigned char* buffer, unsigned int length) override;

private:
    CUSBConnect* usb;
};
