#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <vector>

#include "codecs/HuffmanDecodeTable.h"
#include "codecs/JpegBitReader.h"
#include "codecs/JpegIStream.h"
#include "codecs/JpegTables.h"

namespace SlimJpeg {

// Turns the entropy-coded data of a scan into one MCU row of coefficients at a time.
class EnthropyDecoder {
public:
    virtual ~EnthropyDecoder() = default;
    // Decodes the next MCU row into coefficients, which the caller has cleared.
    virtual void DecodeRow(int16_t* coefficients) = 0;
};

// The table slots of the frame, as the scan finds them; an empty slot is null.
struct HuffmanSlots {
    std::array<const HuffmanTable*, 4> dc{};
    std::array<const HuffmanTable*, 4> ac{};
};

// What the baseline Huffman decoders share: the bit reader, the restart bookkeeping, the DC
// predictors and the decode tables of the slots the scan uses.
class BaseHuffDecoder : public EnthropyDecoder {
public:
    ~BaseHuffDecoder() override;
    virtual void ResetPredictors() = 0;

protected:
    BaseHuffDecoder(IStream& stream, uint16_t restartInterval);

    // Builds the decode tables of a DC and an AC slot (once per slot); throws when a slot is empty.
    void UseTables(const HuffmanSlots& slots, int dcSlot, int acSlot);
    // Counts down one restart unit (an MCU or, in a one-component scan, a block) and reads the
    // restart marker when the interval has elapsed.
    void BeforeUnit() {
        if (restartInterval_ != 0 && --restartsToGo_ == 0) ReadRestartMarker();
    }
    // Decodes one block into a cleared block of 64 coefficients in natural order.
    void DecodeBlock(int16_t* block, int16_t& predictor, const HuffmanDecodeTable& dc, const HuffmanDecodeTable& ac);

    std::array<int16_t, 4> predictors_{};
    std::array<std::unique_ptr<HuffmanDecodeTable>, 4> dcTables_;
    std::array<std::unique_ptr<HuffmanDecodeTable>, 4> acTables_;

private:
    void ReadRestartMarker();

    BitReader reader_;
    uint32_t restartInterval_;
    uint32_t restartsToGo_;
    int nextRestart_ = 0;
};

// An interleaved scan: every MCU holds the blocks of every scan component.
class HuffDecoder_SI : public BaseHuffDecoder {
public:
    struct Component {
        int offset;      // of its first block in the MCU, in coefficients
        int blocks;      // H * V
        int scanIndex;   // predictor slot
        int dcSelector;
        int acSelector;
    };
    HuffDecoder_SI(IStream& stream, uint16_t restartInterval, const HuffmanSlots& slots,
                   std::vector<Component> components, int mcusPerRow, int coefficientsPerMcu);

    void DecodeRow(int16_t* coefficients) override;
    void ResetPredictors() override;

private:
    std::vector<Component> components_;
    int mcusPerRow_;
    int coefficientsPerMcu_;
};

// A scan of one component, whose blocks are coded row by row without MCU padding.
class HuffDecoder_SNI : public BaseHuffDecoder {
public:
    struct Component {
        int offset;       // of its first block in the MCU, in coefficients
        int h;
        int v;
        int widthBlocks;
        int heightBlocks;
        int dcSelector;
        int acSelector;
    };
    HuffDecoder_SNI(IStream& stream, uint16_t restartInterval, const HuffmanSlots& slots, const Component& component,
                    int coefficientsPerMcu);

    void DecodeRow(int16_t* coefficients) override;
    void ResetPredictors() override;

private:
    Component component_;
    int remainingHeight_;
    int coefficientsPerMcu_;
};

}  // namespace SlimJpeg
