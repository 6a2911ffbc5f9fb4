#include "codecs/HuffEncoder.h"

#include <algorithm>
#include <cstdlib>

#include "codecs/JpegError.h"

namespace SlimJpeg {

HuffmanEncodeTable::HuffmanEncodeTable(const HuffmanTable& source) : table(source) {
    uint32_t next = 0;
    int index = 0;
    for (int len = 1; len <= 16; ++len) {
        for (int i = 0; i < table.counts[len - 1]; ++i, ++index, ++next) {
            if (index >= table.symbolCount() || next >= (uint32_t{1} << len)) Fail();
            code[table.symbols[index]] = static_cast<uint16_t>(next);
            length[table.symbols[index]] = len;
        }
        next <<= 1;
    }
}

BaseHuffEncoder::BaseHuffEncoder(OStream& stream, std::vector<ScanComponent> components)
    : stream_(stream), writer_(stream), components_(std::move(components)) {
    if (components_.empty() || components_.size() > 4) Fail();
}

void BaseHuffEncoder::SetTables(const HuffmanTableSet& tables) {
    if (tablesSet_) Fail();
    for (const ScanComponent& c : components_) {
        if (c.dcSlot < 0 || c.dcSlot > 3 || c.acSlot < 0 || c.acSlot > 3) Fail();
        if (!tables.dc[c.dcSlot] || !tables.ac[c.acSlot]) Fail();
        if (!dcTables_[c.dcSlot]) dcTables_[c.dcSlot] = std::make_unique<HuffmanEncodeTable>(*tables.dc[c.dcSlot]);
        if (!acTables_[c.acSlot]) acTables_[c.acSlot] = std::make_unique<HuffmanEncodeTable>(*tables.ac[c.acSlot]);
    }
    tablesSet_ = true;
}

void BaseHuffEncoder::WriteTables(WrittenTables& written) {
    if (!tablesSet_) Fail();
    const auto write = [this](const HuffmanTable& table, int tableClass, int slot) {
        stream_.PutWord(0xFFC4);
        stream_.PutWord(static_cast<uint16_t>(19 + table.symbolCount()));
        stream_.PutByte(static_cast<uint8_t>(tableClass * 16 + slot));
        for (int count : table.counts) stream_.PutByte(static_cast<uint8_t>(count));
        stream_.PutBytes(table.symbols.data(), static_cast<size_t>(table.symbolCount()));
    };
    for (int tableClass = 0; tableClass < 2; ++tableClass) {
        auto& mine = tableClass == 0 ? dcTables_ : acTables_;
        auto& done = tableClass == 0 ? written.dc : written.ac;
        for (int slot = 0; slot < 4; ++slot) {
            if (!mine[slot]) continue;
            if (done[slot] && *done[slot] == mine[slot]->table) continue;
            write(mine[slot]->table, tableClass, slot);
            done[slot] = std::make_unique<HuffmanTable>(mine[slot]->table);
        }
    }
}

void BaseHuffEncoder::WriteScanHeader() {
    const auto ns = static_cast<int>(components_.size());
    stream_.PutWord(0xFFDA);
    stream_.PutWord(static_cast<uint16_t>(6 + 2 * ns));
    stream_.PutByte(static_cast<uint8_t>(ns));
    for (const ScanComponent& c : components_) {
        stream_.PutByte(static_cast<uint8_t>(c.id));
        stream_.PutByte(static_cast<uint8_t>(c.dcSlot * 16 + c.acSlot));
    }
    stream_.PutByte(0);
    stream_.PutByte(63);
    stream_.PutByte(0);
}

void BaseHuffEncoder::FinishBits() { writer_.Finish(); }

void BaseHuffEncoder::PutSymbol(const HuffmanEncodeTable& table, int symbol) {
    const int length = table.length[symbol];
    if (length == 0) Fail();
    writer_.Put(table.code[symbol], length);
}

namespace {

// The number of significant bits of a magnitude: the size category of a value.
inline int Category(int magnitude) { return magnitude == 0 ? 0 : 32 - __builtin_clz(static_cast<unsigned>(magnitude)); }

}  // namespace

void BaseHuffEncoder::EncodeBlock(const int16_t* block, int16_t& predictor, const HuffmanEncodeTable& dc,
                                  const HuffmanEncodeTable& ac) {
    // A symbol's code and the value bits after it go out as one piece of at most 16 + 15 bits; the
    // low bits of a negative value are those of value - 1.
    const auto put = [this](const HuffmanEncodeTable& table, int symbol, int value, int size) {
        const int length = table.length[symbol];
        if (length == 0) Fail();
        const uint32_t bits = static_cast<uint32_t>(value < 0 ? value - 1 : value) & ((uint32_t{1} << size) - 1);
        writer_.Put((uint32_t{table.code[symbol]} << size) | bits, length + size);
    };

    const int diff = block[0] - predictor;
    predictor = block[0];
    int size = Category(std::abs(diff));
    // Symbols are bytes; a size beyond 15 has none and fails as any symbol missing from a table.
    if (size > 15) Fail();
    put(dc, size, diff, size);

    int run = 0;
    for (int k = 1; k < 64; ++k) {
        const int value = block[kZigzag[k]];
        if (value == 0) {
            ++run;
            continue;
        }
        for (; run >= 16; run -= 16) PutSymbol(ac, 0xF0);
        size = Category(std::abs(value));
        if (size > 15) Fail();
        put(ac, (run << 4) | size, value, size);
        run = 0;
    }
    if (run > 0) PutSymbol(ac, 0x00);
}

HuffEncoder_SI::HuffEncoder_SI(OStream& stream, std::vector<ScanComponent> components, int mcusPerRow,
                               int coefficientsPerMcu)
    : BaseHuffEncoder(stream, std::move(components)), mcusPerRow_(mcusPerRow), coefficientsPerMcu_(coefficientsPerMcu) {}

void HuffEncoder_SI::EncodeRow(const int16_t* coefficients) {
    for (int mcu = 0; mcu < mcusPerRow_; ++mcu) {
        const int16_t* const base = coefficients + static_cast<ptrdiff_t>(mcu) * coefficientsPerMcu_;
        for (size_t i = 0; i < components_.size(); ++i) {
            const ScanComponent& c = components_[i];
            const HuffmanEncodeTable& dc = Dc(c.dcSlot);
            const HuffmanEncodeTable& ac = Ac(c.acSlot);
            for (int b = 0; b < c.h * c.v; ++b) EncodeBlock(base + c.offset + 64 * b, predictors_[i], dc, ac);
        }
    }
}

HuffEncoder_SNI::HuffEncoder_SNI(OStream& stream, const ScanComponent& component, int coefficientsPerMcu)
    : BaseHuffEncoder(stream, {component}),
      remainingHeight_(component.heightBlocks),
      coefficientsPerMcu_(coefficientsPerMcu) {}

void HuffEncoder_SNI::EncodeRow(const int16_t* coefficients) {
    const ScanComponent& c = components_[0];
    const HuffmanEncodeTable& dc = Dc(c.dcSlot);
    const HuffmanEncodeTable& ac = Ac(c.acSlot);
    const int rows = std::min(c.v, remainingHeight_);
    for (int row = 0; row < rows; ++row) {
        for (int bx = 0; bx < c.widthBlocks; ++bx) {
            const ptrdiff_t mcu = bx / c.h;
            EncodeBlock(coefficients + mcu * coefficientsPerMcu_ + c.offset + 64 * (row * c.h + bx % c.h),
                        predictors_[0], dc, ac);
        }
    }
    remainingHeight_ -= rows;
}

}  // namespace SlimJpeg
