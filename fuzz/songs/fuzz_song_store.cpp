#include "device/model_info.h"
#include "songs/looper_song_data.h"
#include "songs/nand_reader.h"
#include "support/little_endian.h"

#include <QtGlobal>
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <map>
#include <set>
#include <vector>

// Loads a whole song store from a NAND image built from the input: the first byte picks the
// PULSE RING (30 slots, current records) or the SMALL WHEEL (one slot, legacy records); the
// rest is a list of steps that plant whole or torn records, raw bytes, copies of one slot's
// info block into another, and pages whose reads fail. Chains draw their blocks from a
// pool of eight, so slots share blocks. The image answers reads from memory: a load of
// 30 slots costs no round trips. Whatever the image holds, the load must return one of
// its codes and leave a block set that is exactly the union of the slots' chains, with no
// song kept from before a torn record sharing a block with any other song.
namespace {

constexpr uint32_t PULSE_RING = 0x2712;
constexpr uint32_t SMALL_WHEEL = 0x2713;
constexpr unsigned LEGACY_RECORD = 2624;

class CNandImage final : public CNandReader {
public:
    explicit CNandImage(uint32_t page_size) : page_size(page_size) {}

    bool read_nand(unsigned int address, unsigned char* buffer, unsigned int length) override
    {
        for (unsigned int done = 0; done < length;) {
            const uint32_t page = (address + done) / page_size;
            const uint32_t offset = (address + done) % page_size;
            const uint32_t count = std::min(length - done, page_size - offset);
            if (failing.count(page))
                return false;
            const auto stored = pages.find(page);
            if (stored == pages.end())
                std::fill(buffer + done, buffer + done + count, 0xFF);
            else
                std::copy(stored->second.begin() + offset, stored->second.begin() + offset + count,
                          buffer + done);
            done += count;
        }
        return true;
    }
    void program(uint32_t address, const std::vector<uint8_t>& data)
    {
        for (size_t i = 0; i < data.size(); ++i) {
            std::vector<uint8_t>& page = pages[(address + i) / page_size];
            page.resize(page_size, 0xFF);
            page[(address + i) % page_size] = data[i];
        }
    }
    void copy_block(uint32_t from, uint32_t to, uint32_t block_size)
    {
        for (uint32_t page = 0; page < block_size / page_size; ++page) {
            const auto stored = pages.find(from / page_size + page);
            if (stored != pages.end())
                pages[to / page_size + page] = stored->second;
        }
    }

    std::set<uint32_t> failing;  // pages

private:
    uint32_t page_size;
    std::map<uint32_t, std::vector<uint8_t>> pages;
};

class CInput {
public:
    CInput(const uint8_t* data, size_t size) : at(data), end(data + size) {}
    bool more() const { return at < end; }
    uint8_t byte() { return at < end ? *at++ : 0; }
    uint32_t word() { return byte() | static_cast<uint32_t>(byte()) << 8; }

private:
    const uint8_t* at;
    const uint8_t* end;
};

constexpr uint16_t BLOCK_POOL[8] = {0, 1, 2, 3, 1968, 1969, 2999, 3000};

std::vector<uint16_t> chain_from(CInput& input)
{
    std::vector<uint16_t> chain(input.byte() % 6);
    for (uint16_t& block : chain)
        block = BLOCK_POOL[input.byte() % 8];
    return chain;
}

std::vector<uint8_t> current_record(const SNandFlashConfig& nand, uint32_t units,
                                    const std::vector<uint16_t>& chain)
{
    const unsigned n = nand.max_song_blocks;
    std::vector<uint8_t> record(2 * n + 9, 0xFF);
    record[0] = 'H';
    record[1] = 'D';
    LE::write32(&record[3], units);
    for (size_t i = 0; i < chain.size() && i < n; ++i)
        LE::write16(&record[7 + 2 * i], chain[i]);
    uint32_t sum = 0;
    for (unsigned i = 2; i < 7 + 2 * n; ++i)
        sum += record[i];
    LE::write16(&record[7 + 2 * n], sum);
    return record;
}

std::vector<uint8_t> legacy_record(uint32_t position, const std::vector<uint16_t>& chain)
{
    std::vector<uint8_t> record(LEGACY_RECORD, 0xFF);
    const char tag[7] = {'l', 'o', 'o', 'p', 'e', 'r', 0};
    std::copy(tag, tag + 7, record.begin());
    std::copy(tag, tag + 7, record.begin() + 2616);
    record[8] = position != 0;
    LE::write16(&record[10], 0);
    LE::write16(&record[12], position >> 16 & 3);
    record[14] = static_cast<uint8_t>(position >> 8 & 63);
    record[15] = static_cast<uint8_t>(position % 11);
    for (size_t i = 0; i < chain.size(); ++i)
        LE::write16(&record[16 + 2 * i], chain[i]);
    return record;
}

void build_image(CInput& input, const SModelInfo& model, CNandImage& image)
{
    const SNandFlashConfig& nand = *model.nand;
    const bool legacy = model.song_format == LOOPER_SONG_FORMAT_OLD;
    auto page_address = [&](unsigned slot, unsigned page) {
        return nand.base_addr + (nand.song_blocks + slot) * nand.block_size + page * nand.page_size;
    };
    while (input.more()) {
        const uint8_t step = input.byte();
        const unsigned slot = input.byte() % model.song_slot_count;
        unsigned page = input.byte() % nand.pages_per_block;
        if (legacy)
            page &= ~1u;
        switch (step % 4) {
            case 0: {  // a record, whole or torn after a prefix
                const uint32_t value = input.word() | input.byte() << 16;
                std::vector<uint8_t> record = legacy
                                                  ? legacy_record(value, chain_from(input))
                                                  : current_record(nand, value & 0x3FFFF, chain_from(input));
                const uint32_t keep = input.word();
                if (keep != 0 && keep < record.size())
                    record.resize(keep);
                image.program(page_address(slot, page), record);
                break;
            }
            case 1: {  // raw bytes
                std::vector<uint8_t> raw(input.byte());
                for (uint8_t& byte : raw)
                    byte = input.byte();
                image.program(page_address(slot, page) + input.byte(), raw);
                break;
            }
            case 2:  // another slot's info block, shared
                image.copy_block(page_address(input.byte() % model.song_slot_count, 0), page_address(slot, 0),
                                 nand.block_size);
                break;
            default:
                image.failing.insert(page_address(slot, page) / nand.page_size);
                break;
        }
    }
}

void check_store(const CLooperSongData& store, ELooperActionResult result)
{
    if (result != LOOPER_RESULT_OK && result != LOOPER_RESULT_READ_FAILED &&
        result != LOOPER_RESULT_CHECKSUM_ERROR)
        std::abort();
    BlockStatus all;
    for (unsigned slot = 0; slot < store.slot_count(); ++slot) {
        BlockStatus own;
        store.get_file_block_status_table(slot, own);
        if (store.is_file_exist(slot))
            all |= own;
    }
    if (all != store.get_block_status())
        std::abort();
    for (unsigned slot : store.fallback_slots()) {
        if (!store.is_file_exist(slot))
            std::abort();
        BlockStatus kept, others;
        store.get_file_block_status_table(slot, kept);
        for (unsigned other = 0; other < store.slot_count(); ++other) {
            BlockStatus own;
            store.get_file_block_status_table(other, own);
            if (other != slot && store.is_file_exist(other))
                others |= own;
        }
        if ((kept & others).any())
            std::abort();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static const bool quiet = [] {
        qInstallMessageHandler([](QtMsgType, const QMessageLogContext&, const QString&) {});
        return true;
    }();
    static_cast<void>(quiet);
    CInput input(data, size);
    const SModelInfo& model = *get_model_info(input.byte() & 1 ? SMALL_WHEEL : PULSE_RING);
    CNandImage image(model.nand->page_size);
    build_image(input, model, image);
    CLooperSongData store(nullptr);
    check_store(store, store.load_song_info(model, image));
    return 0;
}
