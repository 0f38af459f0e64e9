#pragma once
// The 524-byte block through which a second ZEK hands its command line to
// the running one (and the running one feeds its own start-up request).
#include <QByteArray>
#include <QString>

#include <atomic>
#include <bit>
#include <cstddef>
#include <cstdint>

namespace zek::app {

struct SharedHandoffBlock {
    std::uint32_t command;         // 0 none, 1 edit fnameSmc (/E), 2 make current and edit (/A)
    std::uint8_t compileRequest;   // 1 = make the names current and compile
    std::uint8_t playRequest;      // 1 = start the player
    std::uint8_t reserved;
    std::uint8_t minimizeRequest;  // 1 = the main window starts minimised
    char fnameSmc[256];            // NUL-terminated, at most 255 bytes
    char fnameMid[256];            // empty = derive from the source
    std::uint32_t hwndReturn;      // window that gets the focus back
};

static_assert(std::endian::native == std::endian::little, "the block is little-endian");
static_assert(sizeof(SharedHandoffBlock) == 524);
static_assert(offsetof(SharedHandoffBlock, command) == 0);
static_assert(offsetof(SharedHandoffBlock, compileRequest) == 4);
static_assert(offsetof(SharedHandoffBlock, playRequest) == 5);
static_assert(offsetof(SharedHandoffBlock, reserved) == 6);
static_assert(offsetof(SharedHandoffBlock, minimizeRequest) == 7);
static_assert(offsetof(SharedHandoffBlock, fnameSmc) == 8);
static_assert(offsetof(SharedHandoffBlock, fnameMid) == 264);
static_assert(offsetof(SharedHandoffBlock, hwndReturn) == 520);

inline constexpr const char* kHandoffBlockName = "TALMO.ZEK";
inline constexpr int kMaxPathBytes = 255;

// Access to a mapped block shared with another process. Request fields are
// stored with release and read with acquire ordering, and the paths are
// always written before the request that announces them, so a reader that
// sees a request also sees its paths.
class HandoffBlock {
public:
    explicit HandoffBlock(SharedHandoffBlock* block) : b_(block) {}

    std::uint32_t command() const { return load(b_->command); }
    void setCommand(std::uint32_t v) { store(b_->command, v); }
    bool compileRequest() const { return load(b_->compileRequest) == 1; }
    void setCompileRequest(bool v) { store(b_->compileRequest, std::uint8_t(v ? 1 : 0)); }
    bool playRequest() const { return load(b_->playRequest) == 1; }
    void setPlayRequest(bool v) { store(b_->playRequest, std::uint8_t(v ? 1 : 0)); }
    bool minimizeRequest() const { return load(b_->minimizeRequest) == 1; }
    void setMinimizeRequest(bool v) { store(b_->minimizeRequest, std::uint8_t(v ? 1 : 0)); }
    std::uint32_t hwndReturn() const { return load(b_->hwndReturn); }
    void setHwndReturn(std::uint32_t v) { store(b_->hwndReturn, v); }

    QString fnameSmc() const { return readPath(b_->fnameSmc); }
    QString fnameMid() const { return readPath(b_->fnameMid); }
    // Writes at most 255 bytes; the caller refuses longer paths beforehand.
    void setFnameSmc(const QByteArray& path) { writePath(b_->fnameSmc, path); }
    void setFnameMid(const QByteArray& path) { writePath(b_->fnameMid, path); }

    // The creator's initial state: every field zero, then hwndReturn.
    void initialise(std::uint32_t foreground);

    SharedHandoffBlock* raw() const { return b_; }

private:
    template <class T>
    static T load(T& field) {
        return std::atomic_ref<T>(field).load(std::memory_order_acquire);
    }
    template <class T>
    static void store(T& field, T value) {
        std::atomic_ref<T>(field).store(value, std::memory_order_release);
    }
    static QString readPath(const char (&field)[256]);
    static void writePath(char (&field)[256], const QByteArray& path);

    SharedHandoffBlock* b_;
};

}  // namespace zek::app
