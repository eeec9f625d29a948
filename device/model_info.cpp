#include "device/model_info.h"

#include <algorithm>
#include <cctype>
#include <iterator>

namespace {

const SModelInfo MODEL_TABLE[] = {
    {0xFFFFFFFF, "Unknown Device", 0, LOOPER_SONG_FORMAT_NONE, nullptr, 0},
    {0x2711, "VX-20", 0, LOOPER_SONG_FORMAT_NONE, nullptr, 1},
    {0x2712, "PULSE RING", 30, LOOPER_SONG_FORMAT_FILE, &g_sNand_256K_1970_BLOCKS, 0},
    {0x2713, "SMALL WHEEL", 1, LOOPER_SONG_FORMAT_OLD, &g_sNand_128K_1980_MONO_BLOCKS, 0},
    {0x2714, "ECHO DECK", 1, LOOPER_SONG_FORMAT_OLD, &g_sNand_128K_1980_MONO_BLOCKS, 0},
    {0x2715, "TINY WHEEL", 1, LOOPER_SONG_FORMAT_OLD, &g_sNand_128K_1980_MONO_BLOCKS, 0},
    {0x2716, "DUAL WHEEL", 1, LOOPER_SONG_FORMAT_OLD, &g_sNand_128K_1980_STEREO_BLOCKS, 0},
    {0x2717, "VX-20", 0, LOOPER_SONG_FORMAT_NONE, nullptr, 1},
    {0x2718, "VX-20", 0, LOOPER_SONG_FORMAT_NONE, nullptr, 1},
};

}  // namespace

const SModelInfo* get_model_info(unsigned int product_id)
{
    for (const SModelInfo& row : MODEL_TABLE)
        if (row.product_id == product_id)
            return &row;
    return nullptr;
}

namespace {

bool same_name(const std::string& a, const char* b)
{
    const std::string other(b);
    return a.size() == other.size() && std::equal(a.begin(), a.end(), other.begin(), [](char x, char y) {
               return std::toupper(static_cast<unsigned char>(x)) == std::toupper(static_cast<unsigned char>(y));
           });
}

}  // namespace

const SModelInfo* get_model_info_by_name(const std::string& name)
{
    // The first row stands for a device whose ID was not read, not for a model.
    for (auto row = std::next(std::begin(MODEL_TABLE)); row != std::end(MODEL_TABLE); ++row)
        if (same_name(name, row->model_name))
            return &*row;
    return nullptr;
}

std::vector<std::string> model_names()
{
    std::vector<std::string> names;
    for (auto row = std::next(std::begin(MODEL_TABLE)); row != std::end(MODEL_TABLE); ++row)
        if (std::find(names.begin(), names.end(), row->model_name) == names.end())
            names.emplace_back(row->model_name);
    return names;
}
