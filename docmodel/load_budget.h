#pragma once
// What a load may allocate for samples that its input does not carry. A run of invalid samples
// costs a few bytes of file however long it claims to be, so without a bound a tiny file could
// demand gigabytes. Each load of a file (or of a stream on its own) opens a budget of a fixed
// part plus a multiple of its size on its thread; every sample array a load makes is charged.
#include <QByteArray>

#include <cstdint>

namespace kavrodoc {

class LoadBudget {
public:
    // Opens a budget for an input of `inputBytes`, unless one is open on this thread already:
    // the outermost load governs everything loaded within it.
    explicit LoadBudget(uint64_t inputBytes);
    ~LoadBudget();
    LoadBudget(const LoadBudget&) = delete;
    LoadBudget& operator=(const LoadBudget&) = delete;

    // Takes `bytes` from the open budget; false (and nothing taken) when they are not left.
    static bool charge(uint64_t bytes);
    // A question about bytes the load keeps: whether a charge is needed. The budget keeps the
    // bytes as long as it may ask.
    struct Question {
        const QByteArray& bytes;
        qsizetype offset = 0;
        qsizetype size = 0;
        uint32_t count = 0;
        bool (*needed)(const uint8_t* data, size_t size, uint32_t count) = nullptr;
    };
    // Charges `bytes` only if the question's answer says so. The question may be costly, so it is
    // put off until the answer decides whether a charge fits: a load is refused at exactly the
    // charge where it would be had every answer been known at once.
    static bool chargeIf(uint64_t bytes, const Question& question);
    // Whether a budget is open on this thread (a load within a load need not size its input).
    static bool isOpen();

    static constexpr uint64_t kFixedBytes = uint64_t(128) << 20;
    static constexpr uint64_t kBytesPerInputByte = 16;

private:
    bool owner_ = false;
};

} // namespace kavrodoc
