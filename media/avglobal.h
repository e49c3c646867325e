#ifndef AVGLOBAL_H
#define AVGLOBAL_H

// Values shared by the player layer's classes. The numbers are fixed: settings
// and colour tables store them.
namespace OrvaneAV {

enum ColorSpace {
    ColorSpace_Unknown = 0, // as the stream signals it
    ColorSpace_RGB = 1,
    ColorSpace_GBR = 2,
    ColorSpace_BT601 = 3,
    ColorSpace_BT709 = 4,
    ColorSpace_XYZ = 5,
    ColorSpace_BT2020 = 6, // SDR, BT.2020 primaries, BT.1886 transfer
    ColorSpace_D3_PQ = 7, // HDR, P3-D65 primaries, PQ transfer
    ColorSpace_PQ = 8, // HDR, BT.2020 primaries, PQ transfer
    ColorSpace_HLG = 9, // HDR, BT.2020 primaries, HLG transfer
};

enum ColorRange {
    ColorRange_Unknown = 0, // as the stream signals it
    ColorRange_Limited = 1, // 16-235 (video levels)
    ColorRange_Full = 2, // 0-255 (PC levels)
};

// How the buffer value is counted; only time is honoured (milliseconds of delay).
enum BufferMode {
    BufferTime = 0,
    BufferBytes = 1,
    BufferPackets = 2,
};

// Call before the QApplication is created: renderers show frames that the
// players draw on their own threads, which needs OpenGL contexts that share
// textures with one another.
void prepareApplication();

} // namespace OrvaneAV

#endif // AVGLOBAL_H
