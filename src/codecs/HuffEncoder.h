#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <vector>

#include "codecs/JpegBitWriter.h"
#include "codecs/JpegOStream.h"
#include "codecs/JpegTables.h"

namespace SlimJpeg {

// The encoding form of a Huffman table: the code and its length for each symbol; length 0 marks a
// symbol the table does not have.
struct HuffmanEncodeTable {
    explicit HuffmanEncodeTable(const HuffmanTable& source);

    HuffmanTable table;
    std::array<uint16_t, 256> code{};
    std::array<int, 256> length{};
};

// The tables a scan may use, by slot; an unused slot is null.
struct HuffmanTableSet {
    std::array<const HuffmanTable*, 4> dc{};
    std::array<const HuffmanTable*, 4> ac{};
};

// The copies of the tables already written to the stream, by slot.
struct WrittenTables {
    std::array<std::unique_ptr<HuffmanTable>, 4> dc;
    std::array<std::unique_ptr<HuffmanTable>, 4> ac;
};

// Turns MCU rows of quantised coefficients into entropy-coded data.
class EnthropyEncoder {
public:
    virtual ~EnthropyEncoder() = default;
    // Takes the tables of the scan once; a second call throws.
    virtual void SetTables(const HuffmanTableSet& tables) = 0;
    // Writes a DHT segment for each table the scan uses that was not written before (or differs from
    // what was), DC tables by slot first, then AC tables, and records them in written.
    virtual void WriteTables(WrittenTables& written) = 0;
    virtual void WriteScanHeader() = 0;
    virtual void EncodeRow(const int16_t* coefficients) = 0;
    // Pads and writes the last bits of the scan.
    virtual void FinishBits() = 0;
};

// One scan component as the encoders see it.
struct ScanComponent {
    int id;
    int dcSlot;
    int acSlot;
    int offset;  // of its first block in the MCU, in coefficients
    int h;
    int v;
    int widthBlocks;
    int heightBlocks;
};

// What the baseline Huffman encoders share: the bit writer, the DC predictors and the tables.
class BaseHuffEncoder : public EnthropyEncoder {
public:
    void SetTables(const HuffmanTableSet& tables) override;
    void WriteTables(WrittenTables& written) override;
    void WriteScanHeader() override;
    void FinishBits() override;

    // Starts the scan's predictors afresh.
    void Reset() { ResetPredictors(); }
    virtual void ResetPredictors() = 0;

protected:
    BaseHuffEncoder(OStream& stream, std::vector<ScanComponent> components);

    void EncodeBlock(const int16_t* block, int16_t& predictor, const HuffmanEncodeTable& dc,
                     const HuffmanEncodeTable& ac);
    const HuffmanEncodeTable& Dc(int slot) const { return *dcTables_[slot]; }
    const HuffmanEncodeTable& Ac(int slot) const { return *acTables_[slot]; }

    OStream& stream_;
    BitWriter writer_;
    std::vector<ScanComponent> components_;
    std::array<int16_t, 4> predictors_{};
    uint16_t restartInterval_ = 0;  // never used: no restart markers are written

private:
    void PutSymbol(const HuffmanEncodeTable& table, int symbol);

    bool tablesSet_ = false;
    std::array<std::unique_ptr<HuffmanEncodeTable>, 4> dcTables_;
    std::array<std::unique_ptr<HuffmanEncodeTable>, 4> acTables_;
};

// An interleaved scan of several components.
class HuffEncoder_SI : public BaseHuffEncoder {
public:
    HuffEncoder_SI(OStream& stream, std::vector<ScanComponent> components, int mcusPerRow, int coefficientsPerMcu);
    void EncodeRow(const int16_t* coefficients) override;
    void ResetPredictors() override { predictors_.fill(0); }

private:
    int mcusPerRow_;
    int coefficientsPerMcu_;
};

// A scan of one component, coded block row by block row.
class HuffEncoder_SNI : public BaseHuffEncoder {
public:
    HuffEncoder_SNI(OStream& stream, const ScanComponent& component, int coefficientsPerMcu);
    void EncodeRow(const int16_t* coefficients) override;
    void ResetPredictors() override { predictors_[0] = 0; }

private:
    int remainingHeight_;
    int coefficientsPerMcu_;
};

}  // namespace SlimJpeg
