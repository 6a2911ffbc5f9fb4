#include "codecs/HuffDecoder.h"

#include <algorithm>

#include "codecs/JpegError.h"

namespace SlimJpeg {

BaseHuffDecoder::BaseHuffDecoder(IStream& stream, uint16_t restartInterval)
    : reader_(stream), restartInterval_(restartInterval), restartsToGo_(uint32_t{restartInterval} + 1) {}

BaseHuffDecoder::~BaseHuffDecoder() { reader_.ReturnWholeBytes(); }

void BaseHuffDecoder::UseTables(const HuffmanSlots& slots, int dcSlot, int acSlot) {
    if (dcSlot < 0 || dcSlot > 3 || acSlot < 0 || acSlot > 3) Fail();
    if (!slots.dc[dcSlot] || !slots.ac[acSlot]) Fail();
    if (!dcTables_[dcSlot]) dcTables_[dcSlot] = std::make_unique<HuffmanDecodeTable>(*slots.dc[dcSlot]);
    if (!acTables_[acSlot]) acTables_[acSlot] = std::make_unique<HuffmanDecodeTable>(*slots.ac[acSlot]);
}

void BaseHuffDecoder::ReadRestartMarker() {
    ResetPredictors();
    reader_.Restart();
    IStream& stream = reader_.stream();
    for (;;) {
        if (stream.GetByte() != 0xFF) continue;
        uint8_t marker;
        do marker = stream.GetByte();
        while (marker == 0xFF);
        if (marker == 0) continue;
        if (marker != 0xD0 + nextRestart_) Fail();
        break;
    }
    restartsToGo_ = restartInterval_;
    nextRestart_ = (nextRestart_ + 1) & 7;
}

void BaseHuffDecoder::DecodeBlock(int16_t* block, int16_t& predictor, const HuffmanDecodeTable& dc,
                                  const HuffmanDecodeTable& ac) {
    BitReader& in = reader_;
    // While 32 bits are held, one code and its value bits are taken without further checks; only
    // the last few codes before a marker or the end of the data go the counted way.
    int s;
    int32_t diff = 0;
    if (in.Ensure32()) {
        s = in.DecodeFast(dc) & 15;
        if (s) diff = in.ReceiveExtendFast(s);
    } else {
        s = in.DecodeChecked(dc) & 15;
        if (s) diff = in.ReceiveExtendChecked(s);
    }
    predictor = static_cast<int16_t>(predictor + diff);
    block[0] = predictor;

    for (int k = 1;;) {
        int symbol;
        int32_t value = 0;
        if (in.Ensure32()) {
            symbol = in.DecodeFast(ac);
            if (symbol & 15) value = in.ReceiveExtendFast(symbol & 15);
        } else {
            symbol = in.DecodeChecked(ac);
            if (symbol & 15) value = in.ReceiveExtendChecked(symbol & 15);
        }
        const int run = symbol >> 4;
        if ((symbol & 15) == 0) {
            if (run != 15 || k >= 48) return;
            k += 16;
            continue;
        }
        k += run;
        // A run past the last position would write outside the block.
        if (k > 63) Fail();
        block[kZigzag[k]] = static_cast<int16_t>(value);
        if (k == 63) return;
        ++k;
    }
}

HuffDecoder_SI::HuffDecoder_SI(IStream& stream, uint16_t restartInterval, const HuffmanSlots& slots,
                               std::vector<Component> components, int mcusPerRow, int coefficientsPerMcu)
    : BaseHuffDecoder(stream, restartInterval),
      components_(std::move(components)),
      mcusPerRow_(mcusPerRow),
      coefficientsPerMcu_(coefficientsPerMcu) {
    if (components_.empty() || components_.size() > 4) Fail();
    for (const Component& c : components_) UseTables(slots, c.dcSelector, c.acSelector);
}

void HuffDecoder_SI::ResetPredictors() { predictors_.fill(0); }

void HuffDecoder_SI::DecodeRow(int16_t* coefficients) {
    for (int mcu = 0; mcu < mcusPerRow_; ++mcu) {
        BeforeUnit();
        int16_t* const base = coefficients + static_cast<ptrdiff_t>(mcu) * coefficientsPerMcu_;
        for (const Component& c : components_) {
            const HuffmanDecodeTable& dc = *dcTables_[c.dcSelector];
            const HuffmanDecodeTable& ac = *acTables_[c.acSelector];
            int16_t& predictor = predictors_[c.scanIndex];
            for (int b = 0; b < c.blocks; ++b) DecodeBlock(base + c.offset + 64 * b, predictor, dc, ac);
        }
    }
}

HuffDecoder_SNI::HuffDecoder_SNI(IStream& stream, uint16_t restartInterval, const HuffmanSlots& slots,
                                 const Component& component, int coefficientsPerMcu)
    : BaseHuffDecoder(stream, restartInterval),
      component_(component),
      remainingHeight_(component.heightBlocks),
      coefficientsPerMcu_(coefficientsPerMcu) {
    UseTables(slots, component.dcSelector, component.acSelector);
}

void HuffDecoder_SNI::ResetPredictors() { predictors_[0] = 0; }

void HuffDecoder_SNI::DecodeRow(int16_t* coefficients) {
    const Component& c = component_;
    const HuffmanDecodeTable& dc = *dcTables_[c.dcSelector];
    const HuffmanDecodeTable& ac = *acTables_[c.acSelector];
    const int rows = std::min(c.v, remainingHeight_);
    for (int row = 0; row < rows; ++row) {
        for (int bx = 0; bx < c.widthBlocks; ++bx) {
            BeforeUnit();
            const ptrdiff_t mcu = bx / c.h;
            DecodeBlock(coefficients + mcu * coefficientsPerMcu_ + c.offset + 64 * (row * c.h + bx % c.h),
                        predictors_[0], dc, ac);
        }
    }
    remainingHeight_ -= rows;
}

}  // namespace SlimJpeg
