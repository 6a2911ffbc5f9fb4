#include "codecs/JpegCoder.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <vector>

#include "codecs/HuffEncoder.h"
#include "codecs/JpegFdct.h"
#include "codecs/RgbToYcc.h"
#include "codecs/SamplingMap.h"

namespace SlimJpeg {

namespace {

// The text of the COM segment: exactly 73 bytes, no terminator.
constexpr char kComment[] = "KARVO Scale Crafter SlimJpeg encoder - baseline Huffman, standard tables.";
static_assert(sizeof(kComment) - 1 == 73);

struct CodedComponent {
    int id;
    int h;
    int v;
    int tq;
    int dcSlot;
    int acSlot;
    int blocks = 0;
    int firstBlock = 0;
    int widthBlocks = 0;
    int heightBlocks = 0;
    FdctDivisors divisors;
};

class CoderImpl final : public Coder {
public:
    CoderImpl(OStream& stream, unsigned width, unsigned height, bool colour, int quality, bool chroma422,
              bool singleDqt, int densityUnit, uint16_t xDensity, uint16_t yDensity);

    void WriteHeaders();
    void WriteRow(const uint8_t* row) override;

private:
    void WriteQuantTable(const QuantTable& table, int slot);
    void EncodeMcuRow();

    OStream& stream_;
    unsigned width_;
    unsigned height_;
    bool colour_;
    bool chroma422_;
    bool singleDqt_;
    int densityUnit_;
    uint16_t xDensity_;
    uint16_t yDensity_;
    std::array<QuantTable, 4> quantTables_{};
    WrittenTables writtenTables_;
    std::vector<CodedComponent> components_;
    int hmax_ = 1;
    int vmax_ = 1;
    int mcuWidth_ = 8;
    int mcuHeight_ = 8;
    int mcusPerRow_ = 0;
    int coefficientsPerMcu_ = 0;
    size_t rowBytes_ = 0;  // of one padded buffer row
    std::vector<int16_t> coefficients_;
    std::vector<uint8_t> rowBuffer_;
    std::vector<uint8_t*> rows_;
    unsigned bufferFirst_ = 0;  // image row held in buffer row 0
    unsigned received_ = 0;
    std::unique_ptr<BaseHuffEncoder> entropy_;
    std::unique_ptr<RowSampler> sampler_;
};

CoderImpl::CoderImpl(OStream& stream, unsigned width, unsigned height, bool colour, int quality, bool chroma422,
                     bool singleDqt, int densityUnit, uint16_t xDensity, uint16_t yDensity)
    : stream_(stream),
      width_(width),
      height_(height),
      colour_(colour),
      chroma422_(chroma422),
      singleDqt_(singleDqt),
      densityUnit_(densityUnit),
      xDensity_(xDensity),
      yDensity_(yDensity) {
    // The frame header holds 16-bit sizes; a larger image could only be written damaged.
    if (width == 0 || height == 0 || width > 0xFFFF || height > 0xFFFF) Fail();
    quantTables_[0] = ScaleQuantTable(kLuminanceQuant, quality);
    quantTables_[1] = ScaleQuantTable(kChrominanceQuant, quality);

    if (colour_) {
        components_.push_back({1, 2, chroma422_ ? 1 : 2, 0, 0, 0});
        components_.push_back({2, 1, 1, 1, 1, 1});
        components_.push_back({3, 1, 1, 1, 1, 1});
    } else {
        components_.push_back({1, 1, 1, 0, 0, 0});
    }
    for (const CodedComponent& c : components_) {
        hmax_ = std::max(hmax_, c.h);
        vmax_ = std::max(vmax_, c.v);
    }
    for (const CodedComponent& c : components_)
        if (hmax_ % c.h != 0 || vmax_ % c.v != 0) Fail();
    mcuWidth_ = 8 * hmax_;
    mcuHeight_ = 8 * vmax_;
    if (mcuHeight_ > 32) Fail();
    mcusPerRow_ = static_cast<int>((width_ + mcuWidth_ - 1) / mcuWidth_);

    const std::array<int32_t, 64>& scales = ForwardDctScales();
    std::vector<RowSampler::Component> sampling;
    int blocks = 0;
    for (CodedComponent& c : components_) {
        c.blocks = c.h * c.v;
        c.firstBlock = blocks;
        blocks += c.blocks;
        c.widthBlocks = static_cast<int>(((width_ * c.h + hmax_ - 1) / hmax_ + 7) / 8);
        c.heightBlocks = static_cast<int>(((height_ * c.v + vmax_ - 1) / vmax_ + 7) / 8);
        const QuantTable& q = quantTables_[c.tq];
        for (int k = 0; k < 64; ++k) c.divisors.Set(k, static_cast<int32_t>(q.values[k]) * scales[k]);
        sampling.push_back({MakeSamplingMap(c.h, c.v, hmax_, vmax_, c.firstBlock), c.h, c.v});
    }
    coefficientsPerMcu_ = 64 * blocks;
    coefficients_.assign(static_cast<size_t>(mcusPerRow_) * static_cast<size_t>(coefficientsPerMcu_), 0);
    rowBytes_ = static_cast<size_t>(mcusPerRow_ * mcuWidth_) * (colour_ ? 3 : 1);
    rowBuffer_.assign(rowBytes_ * static_cast<size_t>(mcuHeight_), 0);
    for (int y = 0; y < mcuHeight_; ++y) rows_.push_back(rowBuffer_.data() + rowBytes_ * static_cast<size_t>(y));
    sampler_ = std::make_unique<RowSampler>(colour_, std::move(sampling), hmax_, vmax_, mcusPerRow_, coefficientsPerMcu_);

    std::vector<ScanComponent> scan;
    for (const CodedComponent& c : components_)
        scan.push_back({c.id, c.dcSlot, c.acSlot, 64 * c.firstBlock, c.h, c.v, c.widthBlocks, c.heightBlocks});
    if (scan.size() == 1)
        entropy_ = std::make_unique<HuffEncoder_SNI>(stream_, scan[0], coefficientsPerMcu_);
    else
        entropy_ = std::make_unique<HuffEncoder_SI>(stream_, std::move(scan), mcusPerRow_, coefficientsPerMcu_);
    HuffmanTableSet tables;
    tables.dc = {&StandardDcLuminance(), &StandardDcChrominance(), nullptr, nullptr};
    tables.ac = {&StandardAcLuminance(), &StandardAcChrominance(), nullptr, nullptr};
    entropy_->SetTables(tables);
    entropy_->Reset();
}

void CoderImpl::WriteQuantTable(const QuantTable& table, int slot) {
    const bool wide = table.precision == 16;
    stream_.PutByte(static_cast<uint8_t>((wide ? 16 : 0) + slot));
    for (int k = 0; k < 64; ++k) {
        const uint16_t value = table.values[kZigzag[k]];
        if (wide)
            stream_.PutWord(value);
        else
            stream_.PutByte(static_cast<uint8_t>(value));
    }
}

void CoderImpl::WriteHeaders() {
    stream_.PutWord(0xFFD8);

    stream_.PutWord(0xFFE0);
    stream_.PutWord(16);
    stream_.PutBytes("JFIF", 5);
    stream_.PutByte(1);
    stream_.PutByte(1);
    stream_.PutByte(densityUnit_ == 2 ? 1 : densityUnit_ == 3 ? 2 : 0);
    stream_.PutWord(xDensity_);
    stream_.PutWord(yDensity_);
    stream_.PutByte(0);
    stream_.PutByte(0);

    stream_.PutWord(0xFFFE);
    stream_.PutWord(2 + 73);
    stream_.PutBytes(kComment, 73);

    const auto tableBytes = [](const QuantTable& q) { return 1 + 64 * (q.precision == 16 ? 2 : 1); };
    if (singleDqt_) {
        stream_.PutWord(0xFFDB);
        stream_.PutWord(static_cast<uint16_t>(2 + tableBytes(quantTables_[0]) + tableBytes(quantTables_[1])));
        WriteQuantTable(quantTables_[0], 0);
        WriteQuantTable(quantTables_[1], 1);
    } else {
        for (int slot = 0; slot < 2; ++slot) {
            stream_.PutWord(0xFFDB);
            stream_.PutWord(static_cast<uint16_t>(2 + tableBytes(quantTables_[slot])));
            WriteQuantTable(quantTables_[slot], slot);
        }
    }

    stream_.PutWord(0xFFC0);
    stream_.PutWord(static_cast<uint16_t>(8 + 3 * components_.size()));
    stream_.PutByte(8);
    stream_.PutWord(static_cast<uint16_t>(height_));
    stream_.PutWord(static_cast<uint16_t>(width_));
    stream_.PutByte(static_cast<uint8_t>(components_.size()));
    for (const CodedComponent& c : components_) {
        stream_.PutByte(static_cast<uint8_t>(c.id));
        stream_.PutByte(static_cast<uint8_t>(c.h * 16 + c.v));
        stream_.PutByte(static_cast<uint8_t>(c.tq));
    }

    entropy_->WriteTables(writtenTables_);
    entropy_->WriteScanHeader();
}

void CoderImpl::WriteRow(const uint8_t* row) {
    if (received_ >= height_) Fail();
    const int y = static_cast<int>(received_ - bufferFirst_);
    uint8_t* const dest = rows_[y];
    const size_t pixel = colour_ ? 3 : 1;
    std::memcpy(dest, row, width_ * pixel);
    // Repeat the last pixel out to the padded width, so the edge blocks carry no false edge.
    for (size_t x = width_ * pixel; x < rowBytes_; x += pixel) std::memcpy(dest + x, dest + x - pixel, pixel);
    ++received_;

    const bool last = received_ == height_;
    if (last)
        for (int fill = y + 1; fill < mcuHeight_; ++fill) std::memcpy(rows_[fill], dest, rowBytes_);
    if (last || y + 1 == mcuHeight_) {
        EncodeMcuRow();
        bufferFirst_ += static_cast<unsigned>(mcuHeight_);
    }
    if (last) {
        entropy_->FinishBits();
        stream_.PutWord(0xFFD9);
        stream_.Finish();
    }
}

void CoderImpl::EncodeMcuRow() {
    std::fill(coefficients_.begin(), coefficients_.end(), int16_t{0});
    sampler_->Sample(rows_.data(), coefficients_.data());
    const ForwardDctRoutine forwardDct = SelectForwardDct();
    for (int mcu = 0; mcu < mcusPerRow_; ++mcu) {
        int16_t* const base = coefficients_.data() + static_cast<size_t>(mcu) * coefficientsPerMcu_;
        for (const CodedComponent& c : components_)
            for (int b = 0; b < c.blocks; ++b) forwardDct(base + 64 * (c.firstBlock + b), c.divisors);
    }
    entropy_->EncodeRow(coefficients_.data());
}

}  // namespace

QuantTable ScaleQuantTable(const std::array<uint16_t, 64>& base, int quality) {
    int scale;
    if (quality <= 0)
        scale = 5000;
    else if (quality > 100)
        scale = 0;
    else if (quality >= 51)
        scale = 200 - 2 * quality;
    else
        scale = 5000 / quality;
    QuantTable table;
    for (int k = 0; k < 64; ++k) {
        int32_t value = (base[k] * scale + 50) / 100;
        if ((value & 0xFFFF) == 0) value = 1;
        value = std::min(value, 0x7FFF);
        table.values[k] = static_cast<uint16_t>(std::min(value, 255));
    }
    table.precision = 8;
    return table;
}

std::unique_ptr<Coder> CreateCoder(OStream& stream, unsigned width, unsigned height, bool colour, int quality,
                                   bool chroma422, bool singleDqt, int densityUnit, uint16_t xDensity,
                                   uint16_t yDensity) {
    auto coder = std::make_unique<CoderImpl>(stream, width, height, colour, quality, chroma422, singleDqt,
                                             densityUnit, xDensity, yDensity);
    coder->WriteHeaders();
    return coder;
}

}  // namespace SlimJpeg
