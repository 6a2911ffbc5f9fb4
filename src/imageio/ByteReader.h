#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <vector>

namespace kv {

// Random access to the bytes of an image file, held in memory or read from an open file. Reads
// past the end return fewer bytes; nothing is trusted about the content.
class ByteReader {
public:
    virtual ~ByteReader() = default;
    virtual uint64_t Size() const = 0;
    // Copies up to size bytes from offset; returns how many were copied.
    virtual size_t ReadAt(uint64_t offset, void* buffer, size_t size) const = 0;
    // The whole content when it is in memory, else null.
    virtual const std::vector<uint8_t>* Memory() const { return nullptr; }
};

class MemoryReader final : public ByteReader {
public:
    explicit MemoryReader(std::shared_ptr<const std::vector<uint8_t>> bytes) : bytes_(std::move(bytes)) {}
    uint64_t Size() const override { return bytes_->size(); }
    size_t ReadAt(uint64_t offset, void* buffer, size_t size) const override;
    const std::vector<uint8_t>* Memory() const override { return bytes_.get(); }

private:
    std::shared_ptr<const std::vector<uint8_t>> bytes_;
};

// Keeps the file open: a file replaced by rename while the reader lives is still read whole.
class FileReader final : public ByteReader {
public:
    // Null with errno set when the file cannot be opened.
    static std::unique_ptr<FileReader> Open(const std::filesystem::path& path);
    ~FileReader() override;
    uint64_t Size() const override { return size_; }
    size_t ReadAt(uint64_t offset, void* buffer, size_t size) const override;

private:
    FileReader(int fd, uint64_t size) : fd_(fd), size_(size) {}
    int fd_;
    uint64_t size_;
};

}  // namespace kv
