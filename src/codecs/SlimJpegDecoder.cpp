#include "codecs/SlimJpegDecoder.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <vector>

#include "codecs/HuffDecoder.h"
#include "codecs/JpegIdct.h"
#include "codecs/JpegTables.h"
#include "codecs/YccToRgb.h"

namespace SlimJpeg {

namespace {

struct DecodedComponent {
    int id = 0;
    int h = 1;
    int v = 1;
    int tq = 0;
    int blocks = 1;      // H * V, per MCU
    int firstBlock = 0;  // within the MCU
    int widthBlocks = 0;
    int heightBlocks = 0;
    IdctMultipliers multipliers;
};

class DecoderImpl final : public Decoder {
public:
    explicit DecoderImpl(IStream& stream) : stream_(stream) {}

    // Reads the segments before the scan; stops with the stream at the scan's FF DA.
    void ReadHeaders();
    // Checks the component count and decides the colour conversion.
    void DecideColour();
    // Lays out the MCU and reads the scan header.
    void SetUp();

    const uint8_t* ReadRow() override;

    unsigned width() const { return width_; }
    unsigned height() const { return height_; }
    bool colour() const { return colour_; }
    int densityUnit() const { return densityUnit_; }
    uint16_t xDensity() const { return xDensity_; }
    uint16_t yDensity() const { return yDensity_; }

private:
    uint8_t NextMarker();
    uint16_t SegmentLength();
    void SkipSegment();
    void ReadFrameHeader();
    void ReadQuantTables();
    void ReadHuffmanTables();
    void ReadRestartInterval();
    void ReadApp0();
    void ReadApp14();
    void SetUpGeometry();
    void ReadScanHeader();
    void DecodeMcuRow();

    IStream& stream_;
    bool jfifSeen_ = false;
    bool frameSeen_ = false;
    bool adobeSeen_ = false;
    uint8_t adobeTransform_ = 0;
    unsigned width_ = 0;
    unsigned height_ = 0;
    bool colour_ = false;
    uint16_t xDensity_ = 0;
    uint16_t yDensity_ = 0;
    int densityUnit_ = 0;
    uint16_t restartInterval_ = 0;
    bool convertYcc_ = false;

    int componentCount_ = 0;
    std::array<DecodedComponent, 8> components_{};
    int hmax_ = 1;
    int vmax_ = 1;
    std::array<std::unique_ptr<HuffmanTable>, 4> dcTables_;
    std::array<std::unique_ptr<HuffmanTable>, 4> acTables_;
    std::array<std::unique_ptr<QuantTable>, 4> quantTables_;

    int mcuWidth_ = 8;
    int mcuHeight_ = 8;
    int mcusPerRow_ = 0;
    int mcuRows_ = 0;
    int blocksPerMcu_ = 0;
    int coefficientsPerMcu_ = 0;

    std::unique_ptr<EnthropyDecoder> entropy_;
    std::vector<int16_t> coefficients_;  // one MCU row
    unsigned bufferFirst_ = 0;
    unsigned bufferEnd_ = 0;
    unsigned nextRow_ = 0;
    std::vector<uint8_t> rowBuffer_;  // one MCU row of pixels
    std::vector<uint8_t*> rows_;
    std::unique_ptr<RowConverter> converter_;
};

uint8_t DecoderImpl::NextMarker() {
    for (;;) {
        if (stream_.GetByte() != 0xFF) continue;
        uint8_t code;
        do code = stream_.GetByte();
        while (code == 0xFF);
        if (code != 0) return code;
    }
}

uint16_t DecoderImpl::SegmentLength() {
    const uint16_t length = stream_.GetWord();
    if (length < 2) Fail();
    return length;
}

void DecoderImpl::SkipSegment() { stream_.Skip(SegmentLength() - 2u); }

void DecoderImpl::ReadHeaders() {
    if (stream_.GetByte() != 0xFF || stream_.GetByte() != 0xD8) Fail();
    restartInterval_ = 0;
    for (;;) {
        const uint8_t marker = NextMarker();
        switch (marker) {
            case 0xC0:
            case 0xC1:
                ReadFrameHeader();
                break;
            case 0xC4:
                ReadHuffmanTables();
                break;
            case 0xDB:
                ReadQuantTables();
                break;
            case 0xDD:
                ReadRestartInterval();
                break;
            case 0xE0:
                ReadApp0();
                break;
            case 0xEE:
                ReadApp14();
                break;
            case 0xDA:
                if (!frameSeen_) Fail();
                stream_.Unget(0xDA);
                stream_.Unget(0xFF);
                return;
            default:
                if (marker == 0xCC || marker == 0xFE || (marker >= 0xE1 && marker <= 0xEF)) {
                    SkipSegment();
                    break;
                }
                // Progressive, lossless and arithmetic-coded frames, stray restart markers, an
                // image that ends before its scan: all outside what this decoder reads.
                Fail();
        }
    }
}

void DecoderImpl::ReadFrameHeader() {
    if (frameSeen_) Fail();
    const uint16_t length = stream_.GetWord();
    if (stream_.GetByte() != 8) Fail();
    height_ = stream_.GetWord();
    width_ = stream_.GetWord();
    const int nf = stream_.GetByte();
    if (width_ == 0 || height_ == 0 || nf < 1 || nf > 8 || length != 3 * nf + 8) Fail();
    componentCount_ = nf;
    for (int i = 0; i < nf; ++i) {
        DecodedComponent& c = components_[i];
        c.id = stream_.GetByte();
        const uint8_t factors = stream_.GetByte();
        c.h = factors >> 4;
        c.v = factors & 15;
        c.tq = stream_.GetByte();
        if (c.h < 1 || c.h > 4 || c.v < 1 || c.v > 4 || c.tq > 3) Fail();
    }
    frameSeen_ = true;
}

void DecoderImpl::ReadQuantTables() {
    unsigned remaining = SegmentLength() - 2u;
    while (remaining != 0) {
        const uint8_t pq = stream_.GetByte();
        const int slot = pq & 15;
        const bool wide = (pq >> 4) != 0;
        const unsigned size = wide ? 129 : 65;
        // A length that does not end on a table boundary is a damaged segment.
        if (slot > 3 || remaining < size) Fail();
        auto table = std::make_unique<QuantTable>();
        table->precision = wide ? 16 : 8;
        for (int k = 0; k < 64; ++k) table->values[kZigzag[k]] = wide ? stream_.GetWord() : stream_.GetByte();
        quantTables_[slot] = std::move(table);
        remaining -= size;
    }
}

void DecoderImpl::ReadHuffmanTables() {
    unsigned remaining = SegmentLength() - 2u;
    while (remaining != 0) {
        const uint8_t tc = stream_.GetByte();
        const bool ac = (tc & 0x10) != 0;
        const int slot = tc & 15;
        if (slot > 3) Fail();
        auto table = std::make_unique<HuffmanTable>();
        int total = 0;
        for (int& count : table->counts) {
            count = stream_.GetByte();
            total += count;
        }
        if (total >= 256 || remaining < 17u + static_cast<unsigned>(total)) Fail();
        for (int i = 0; i < total; ++i) table->symbols[i] = stream_.GetByte();
        table->size = 17 + total;
        (ac ? acTables_ : dcTables_)[slot] = std::move(table);
        remaining -= 17u + static_cast<unsigned>(total);
    }
}

void DecoderImpl::ReadRestartInterval() {
    if (stream_.GetWord() != 4) Fail();
    restartInterval_ = stream_.GetWord();
}

void DecoderImpl::ReadApp0() {
    const unsigned length = SegmentLength();
    if (length - 2 <= 13) {
        stream_.Skip(length - 2);
        return;
    }
    uint8_t id[5];
    for (uint8_t& b : id) b = stream_.GetByte();
    if (std::memcmp(id, "JFIF", 5) != 0) {
        stream_.Skip(length - 7);
        return;
    }
    if (jfifSeen_) Fail();
    if (stream_.GetByte() != 1) Fail();
    stream_.GetByte();  // minor version
    const uint8_t units = stream_.GetByte();
    if (units <= 2) densityUnit_ = units + 1;
    xDensity_ = stream_.GetWord();
    yDensity_ = stream_.GetWord();
    stream_.GetByte();  // thumbnail width and height
    stream_.GetByte();
    jfifSeen_ = true;
    stream_.Skip(length - 16);
}

void DecoderImpl::ReadApp14() {
    if (adobeSeen_) Fail();
    const unsigned length = SegmentLength();
    if (length - 2 < 12) {
        stream_.Skip(length - 2);
        return;
    }
    uint8_t id[5];
    for (uint8_t& b : id) b = stream_.GetByte();
    if (std::memcmp(id, "Adobe", 5) != 0) {
        stream_.Skip(length - 7);
        return;
    }
    stream_.GetWord();  // version
    stream_.GetWord();  // flags 0
    stream_.GetWord();  // flags 1
    adobeTransform_ = stream_.GetByte();
    adobeSeen_ = true;
    stream_.Skip(length - 14);
}

void DecoderImpl::DecideColour() {
    if (componentCount_ != 1 && componentCount_ != 3) Fail();
    colour_ = componentCount_ == 3;
    if (colour_) {
        if (!jfifSeen_)
            convertYcc_ = true;
        else if (adobeSeen_)
            convertYcc_ = adobeTransform_ != 0;
        else
            convertYcc_ = !(components_[0].id == 'R' && components_[1].id == 'G' && components_[2].id == 'B');
    }
}

void DecoderImpl::SetUp() {
    SetUpGeometry();
    ReadScanHeader();
}

void DecoderImpl::SetUpGeometry() {
    if (componentCount_ == 1) components_[0].h = components_[0].v = 1;
    hmax_ = vmax_ = 1;
    for (int i = 0; i < componentCount_; ++i) {
        hmax_ = std::max(hmax_, components_[i].h);
        vmax_ = std::max(vmax_, components_[i].v);
    }
    mcuWidth_ = 8 * hmax_;
    mcuHeight_ = 8 * vmax_;
    if (mcuHeight_ > 32) Fail();
    mcusPerRow_ = static_cast<int>((width_ + mcuWidth_ - 1) / mcuWidth_);
    mcuRows_ = static_cast<int>((height_ + mcuHeight_ - 1) / mcuHeight_);
    const unsigned paddedWidth = static_cast<unsigned>(mcusPerRow_ * mcuWidth_);

    blocksPerMcu_ = 0;
    std::vector<RowConverter::Component> layout;
    for (int i = 0; i < componentCount_; ++i) {
        DecodedComponent& c = components_[i];
        c.blocks = c.h * c.v;
        c.firstBlock = blocksPerMcu_;
        blocksPerMcu_ += c.blocks;
        const unsigned widthSamples = (width_ * c.h + hmax_ - 1) / hmax_;
        const unsigned heightSamples = (height_ * c.v + vmax_ - 1) / vmax_;
        c.widthBlocks = static_cast<int>((widthSamples + 7) / 8);
        c.heightBlocks = static_cast<int>((heightSamples + 7) / 8);
        layout.push_back({c.h, c.v, c.firstBlock});
    }
    coefficientsPerMcu_ = 64 * blocksPerMcu_;

    coefficients_.assign(static_cast<size_t>(mcusPerRow_) * static_cast<size_t>(coefficientsPerMcu_), 0);
    const size_t rowBytes = static_cast<size_t>(paddedWidth) * static_cast<size_t>(componentCount_);
    rowBuffer_.assign(rowBytes * static_cast<size_t>(mcuHeight_), 0);
    rows_.resize(static_cast<size_t>(mcuHeight_));
    for (int y = 0; y < mcuHeight_; ++y) rows_[y] = rowBuffer_.data() + rowBytes * static_cast<size_t>(y);

    const RowConverter::Kind kind = !colour_ ? RowConverter::Kind::Grey
                                    : convertYcc_ ? RowConverter::Kind::Ycc
                                                  : RowConverter::Kind::Plain;
    converter_ = std::make_unique<RowConverter>(kind, layout, hmax_, vmax_, static_cast<int>(width_), coefficientsPerMcu_);
}

void DecoderImpl::ReadScanHeader() {
    if (stream_.GetByte() != 0xFF || stream_.GetByte() != 0xDA) Fail();
    const uint16_t length = stream_.GetWord();
    const int ns = stream_.GetByte();
    if (ns < 1 || ns > 4 || length != 2 * ns + 6) Fail();
    struct ScanComponent {
        int index;
        int td;
        int ta;
    };
    std::array<ScanComponent, 4> scan{};
    for (int i = 0; i < ns; ++i) {
        const uint8_t selector = stream_.GetByte();
        int match = componentCount_ - 1;
        while (match >= 0 && components_[match].id != selector) --match;
        if (match < 0) Fail();
        const uint8_t tables = stream_.GetByte();
        scan[i] = {match, tables >> 4, tables & 15};
        if (scan[i].td > 3 || scan[i].ta > 3) Fail();
    }
    // Ss, Se and Ah/Al: a sequential scan always covers the whole block at full precision.
    stream_.GetByte();
    stream_.GetByte();
    stream_.GetByte();
    if (ns != componentCount_) Fail();

    const std::array<int32_t, 64>& scales = InverseDctScales();
    for (int i = 0; i < ns; ++i) {
        DecodedComponent& c = components_[scan[i].index];
        const QuantTable* q = quantTables_[c.tq].get();
        if (!q) Fail();
        for (int k = 0; k < 64; ++k) c.multipliers.Set(k, static_cast<int32_t>(q->values[k]) * scales[k]);
    }

    HuffmanSlots slots;
    for (int i = 0; i < 4; ++i) {
        slots.dc[i] = dcTables_[i].get();
        slots.ac[i] = acTables_[i].get();
    }
    if (ns == 1) {
        const DecodedComponent& c = components_[scan[0].index];
        entropy_ = std::make_unique<HuffDecoder_SNI>(
            stream_, restartInterval_, slots,
            HuffDecoder_SNI::Component{64 * c.firstBlock, c.h, c.v, c.widthBlocks, c.heightBlocks, scan[0].td,
                                       scan[0].ta},
            coefficientsPerMcu_);
    } else {
        std::vector<HuffDecoder_SI::Component> layout;
        for (int i = 0; i < ns; ++i) {
            const DecodedComponent& c = components_[scan[i].index];
            layout.push_back({64 * c.firstBlock, c.blocks, i, scan[i].td, scan[i].ta});
        }
        entropy_ = std::make_unique<HuffDecoder_SI>(stream_, restartInterval_, slots, std::move(layout), mcusPerRow_,
                                                    coefficientsPerMcu_);
    }
}

void DecoderImpl::DecodeMcuRow() {
    std::fill(coefficients_.begin(), coefficients_.end(), int16_t{0});
    entropy_->DecodeRow(coefficients_.data());
    const InverseDctRoutine inverseDct = SelectInverseDct();
    for (int mcu = 0; mcu < mcusPerRow_; ++mcu) {
        int16_t* const base = coefficients_.data() + static_cast<size_t>(mcu) * coefficientsPerMcu_;
        for (int i = 0; i < componentCount_; ++i) {
            const DecodedComponent& c = components_[i];
            for (int b = 0; b < c.blocks; ++b) inverseDct(base + 64 * (c.firstBlock + b), c.multipliers);
        }
    }
    bufferFirst_ = bufferEnd_;
    bufferEnd_ = bufferFirst_ + static_cast<unsigned>(mcuHeight_);
    const int count = static_cast<int>(std::min(bufferEnd_, height_) - bufferFirst_);
    converter_->Convert(coefficients_.data(), count, rows_.data());
}

const uint8_t* DecoderImpl::ReadRow() {
    if (nextRow_ >= height_) Fail();
    if (nextRow_ >= bufferEnd_) DecodeMcuRow();
    return rows_[nextRow_++ - bufferFirst_];
}

}  // namespace

std::unique_ptr<Decoder> CreateDecoder(IStream& stream, unsigned* width, unsigned* height, uint8_t* isColour,
                                       int* densityUnit, uint16_t* xDensity, uint16_t* yDensity) {
    auto decoder = std::make_unique<DecoderImpl>(stream);
    decoder->ReadHeaders();
    decoder->DecideColour();
    if (width) *width = decoder->width();
    if (height) *height = decoder->height();
    if (isColour) *isColour = decoder->colour() ? 1 : 0;
    if (densityUnit) *densityUnit = decoder->densityUnit();
    if (xDensity) *xDensity = decoder->xDensity();
    if (yDensity) *yDensity = decoder->yDensity();
    decoder->SetUp();
    return decoder;
}

}  // namespace SlimJpeg
