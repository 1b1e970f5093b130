// Text output for the GDI replay: fonts, code pages, symbol fonts and placement.
#include "GdiDevice.h"

#include <QFontMetricsF>
#include <QGlyphRun>
#include <QMutex>
#include <QRawFont>
#include <QStringDecoder>
#include <QtMath>
#include <cmath>
#include <unordered_map>

namespace metafile {

using namespace gdi;

namespace {

// Bytes 0x80-0x9F of Windows-1252; the rest of the code page is Latin-1.
constexpr char16_t kCp1252High[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

// The Symbol font's layout from 0x20 to 0xFF, as Unicode. Its phi ("f") is the
// upright form with a stroke and its phi1 ("j") the open script form; Unicode's
// reference glyphs for U+03C6 and U+03D5 are the other way round, so the two are
// swapped here to keep the shape the document shows.
constexpr char16_t kSymbol[224] = {
    0x0020, 0x0021, 0x2200, 0x0023, 0x2203, 0x0025, 0x0026, 0x220B, 0x0028, 0x0029, 0x2217, 0x002B,
    0x002C, 0x2212, 0x002E, 0x002F, 0x0030, 0x0031, 0x0032, 0x0033, 0x0034, 0x0035, 0x0036, 0x0037,
    0x0038, 0x0039, 0x003A, 0x003B, 0x003C, 0x003D, 0x003E, 0x003F, 0x2245, 0x0391, 0x0392, 0x03A7,
    0x0394, 0x0395, 0x03A6, 0x0393, 0x0397, 0x0399, 0x03D1, 0x039A, 0x039B, 0x039C, 0x039D, 0x039F,
    0x03A0, 0x0398, 0x03A1, 0x03A3, 0x03A4, 0x03A5, 0x03C2, 0x03A9, 0x039E, 0x03A8, 0x0396, 0x005B,
    0x2234, 0x005D, 0x22A5, 0x005F, 0x203E, 0x03B1, 0x03B2, 0x03C7, 0x03B4, 0x03B5, 0x03D5, 0x03B3,
    0x03B7, 0x03B9, 0x03C6, 0x03BA, 0x03BB, 0x03BC, 0x03BD, 0x03BF, 0x03C0, 0x03B8, 0x03C1, 0x03C3,
    0x03C4, 0x03C5, 0x03D6, 0x03C9, 0x03BE, 0x03C8, 0x03B6, 0x007B, 0x007C, 0x007D, 0x223C, 0x0020,
    // 0x80-0x9F are unused in the Symbol font.
    0x0020, 0x0020, 0x0020, 0x0020, 0x0020, 0x0020, 0x0020, 0x0020, 0x0020, 0x0020, 0x0020, 0x0020,
    0x0020, 0x0020, 0x0020, 0x0020, 0x0020, 0x0020, 0x0020, 0x0020, 0x0020, 0x0020, 0x0020, 0x0020,
    0x0020, 0x0020, 0x0020, 0x0020, 0x0020, 0x0020, 0x0020, 0x0020, 0x20AC, 0x03D2, 0x2032, 0x2264,
    0x2044, 0x221E, 0x0192, 0x2663, 0x2666, 0x2665, 0x2660, 0x2194, 0x2190, 0x2191, 0x2192, 0x2193,
    0x00B0, 0x00B1, 0x2033, 0x2265, 0x00D7, 0x221D, 0x2202, 0x2022, 0x00F7, 0x2260, 0x2261, 0x2248,
    0x2026, 0x23D0, 0x23AF, 0x21B5, 0x2135, 0x2111, 0x211C, 0x2118, 0x2297, 0x2295, 0x2205, 0x2229,
    0x222A, 0x2283, 0x2287, 0x2284, 0x2282, 0x2286, 0x2208, 0x2209, 0x2220, 0x2207, 0x00AE, 0x00A9,
    0x2122, 0x220F, 0x221A, 0x22C5, 0x00AC, 0x2227, 0x2228, 0x21D4, 0x21D0, 0x21D1, 0x21D2, 0x21D3,
    0x25CA, 0x2329, 0x00AE, 0x00A9, 0x2122, 0x2211, 0x239B, 0x239C, 0x239D, 0x23A1, 0x23A2, 0x23A3,
    0x23A7, 0x23A8, 0x23A9, 0x23AA, 0x0020, 0x232A, 0x222B, 0x2320, 0x23AE, 0x2321, 0x239E, 0x239F,
    0x23A0, 0x23A4, 0x23A5, 0x23A6, 0x23AB, 0x23AC, 0x23AD, 0x0020};

// Older stand-ins for Wingdings shapes, in blocks that common fonts cover; used when
// no installed font has the exact character. The rest become bullets.
char32_t wingdingStandIn(int c)
{
    static const std::unordered_map<int, char32_t> map = {
        {0x20, 0x0020},  {0x21, 0x270F}, {0x22, 0x2702},  {0x23, 0x2701},  {0x28, 0x260E},
        {0x29, 0x2706},  {0x2A, 0x2709}, {0x36, 0x231B},  {0x37, 0x2328},  {0x3E, 0x2707},
        {0x3F, 0x270D},  {0x41, 0x270C}, {0x42, 0x1F44C}, {0x43, 0x1F44D}, {0x44, 0x1F44E},
        {0x45, 0x261C},  {0x46, 0x261E}, {0x47, 0x261D},  {0x48, 0x261F},  {0x4A, 0x263A},
        {0x4B, 0x1F610}, {0x4C, 0x2639}, {0x4D, 0x1F4A3}, {0x4E, 0x2620},  {0x51, 0x2708},
        {0x52, 0x263C},  {0x54, 0x2744}, {0x56, 0x271E},  {0x58, 0x2720},  {0x59, 0x2721},
        {0x5A, 0x262A},  {0x5B, 0x262F}, {0x5D, 0x2638},  {0x5E, 0x2648},  {0x6C, 0x25CF},
        {0x6D, 0x274D},  {0x6E, 0x25A0}, {0x6F, 0x25A1},  {0x70, 0x25FB},  {0x71, 0x2751},
        {0x72, 0x2752},  {0x73, 0x2B27}, {0x74, 0x29EB},  {0x75, 0x25C6},  {0x76, 0x2756},
        {0x77, 0x2B25},  {0x78, 0x2327}, {0x79, 0x2353},  {0x7A, 0x2318},  {0x7B, 0x2740},
        {0x7C, 0x273F},  {0x7D, 0x275D}, {0x7E, 0x275E},  {0x9F, 0x2022},  {0xA1, 0x25CB},
        {0xA2, 0x2B55},  {0xA4, 0x25C9}, {0xA6, 0x25CE},  {0xA7, 0x25AA},  {0xA8, 0x25FB},
        {0xAA, 0x2726},  {0xAB, 0x2605}, {0xAC, 0x2736},  {0xAD, 0x2734},  {0xAE, 0x2739},
        {0xAF, 0x2735},  {0xB1, 0x2316}, {0xB2, 0x27E1},  {0xB3, 0x2311},  {0xD5, 0x232B},
        {0xD6, 0x2326},  {0xD8, 0x27A2}, {0xDF, 0x2190},  {0xE0, 0x2192},  {0xE1, 0x2191},
        {0xE2, 0x2193},  {0xE8, 0x2794}, {0xEF, 0x21E6},  {0xF0, 0x21E8},  {0xF1, 0x21E7},
        {0xF2, 0x21E9},  {0xFB, 0x2717}, {0xFC, 0x2714},  {0xFD, 0x2612},  {0xFE, 0x2611}};
    const auto it = map.find(c);
    return it == map.end() ? char32_t(0x2022) : it->second;
}

// The Wingdings fonts' layouts as Unicode: byte, how many bytes in a row map to
// consecutive characters, and the first character. Bytes not listed have no
// Unicode equivalent.
struct SymbolRun {
    quint8 first;
    quint8 count;
    char32_t code;
};

constexpr SymbolRun kWingdings[] = {
    {0x21, 1, 0x1F589}, {0x22, 1, 0x2702},  {0x23, 1, 0x2701},  {0x24, 1, 0x1F453},
    {0x25, 3, 0x1F56D}, {0x28, 1, 0x1F57F}, {0x29, 1, 0x2706},  {0x2A, 2, 0x1F582},
    {0x2C, 4, 0x1F4EA}, {0x30, 2, 0x1F5C0}, {0x32, 3, 0x1F5CE}, {0x35, 1, 0x1F5C4},
    {0x36, 1, 0x231B},  {0x37, 1, 0x1F5AE}, {0x38, 1, 0x1F5B0}, {0x39, 3, 0x1F5B2},
    {0x3C, 2, 0x1F5AB}, {0x3E, 1, 0x2707},  {0x3F, 1, 0x270D},  {0x40, 1, 0x1F58E},
    {0x41, 1, 0x270C},  {0x42, 1, 0x1F58F}, {0x43, 2, 0x1F44D}, {0x45, 1, 0x261C},
    {0x46, 1, 0x261E},  {0x47, 1, 0x261D},  {0x48, 1, 0x261F},  {0x49, 1, 0x1F590},
    {0x4A, 1, 0x263A},  {0x4B, 1, 0x1F610}, {0x4C, 1, 0x2639},  {0x4D, 1, 0x1F4A3},
    {0x4E, 1, 0x1F571}, {0x4F, 1, 0x1F3F3}, {0x50, 1, 0x1F3F1}, {0x51, 1, 0x2708},
    {0x52, 1, 0x263C},  {0x53, 1, 0x1F322}, {0x54, 1, 0x2744},  {0x55, 1, 0x1F546},
    {0x56, 1, 0x271E},  {0x57, 1, 0x1F548}, {0x58, 2, 0x2720},  {0x5A, 1, 0x262A},
    {0x5B, 1, 0x262F},  {0x5C, 1, 0x1F549}, {0x5D, 1, 0x2638},  {0x5E, 12, 0x2648},
    {0x6A, 1, 0x1F670}, {0x6B, 1, 0x1F675}, {0x6C, 1, 0x26AB},  {0x6D, 1, 0x1F53E},
    {0x6E, 1, 0x25FC},  {0x6F, 2, 0x1F78F}, {0x71, 2, 0x2751},  {0x73, 1, 0x1F79F},
    {0x74, 1, 0x29EB},  {0x75, 1, 0x25C6},  {0x76, 1, 0x2756},  {0x77, 1, 0x2B29},
    {0x78, 1, 0x2327},  {0x79, 1, 0x2BB9},  {0x7A, 1, 0x2318},  {0x7B, 2, 0x1F3F5},
    {0x7D, 2, 0x1F676}, {0x7F, 1, 0x25AF},  {0x80, 1, 0x1F10B}, {0x81, 10, 0x2780},
    {0x8B, 1, 0x1F10C}, {0x8C, 10, 0x278A}, {0x96, 1, 0x1F662}, {0x97, 2, 0x1F660},
    {0x99, 1, 0x1F663}, {0x9A, 1, 0x1F65E}, {0x9B, 2, 0x1F65C}, {0x9D, 1, 0x1F65F},
    {0x9E, 1, 0x2219},  {0x9F, 1, 0x2022},  {0xA0, 1, 0x2B1D},  {0xA1, 1, 0x2B58},
    {0xA2, 1, 0x1F786}, {0xA3, 1, 0x1F788}, {0xA4, 2, 0x1F78A}, {0xA6, 1, 0x1F53F},
    {0xA7, 1, 0x25AA},  {0xA8, 1, 0x1F78E}, {0xA9, 1, 0x1F7C1}, {0xAA, 1, 0x1F7C5},
    {0xAB, 1, 0x2605},  {0xAC, 1, 0x1F7CB}, {0xAD, 1, 0x1F7CF}, {0xAE, 1, 0x1F7D3},
    {0xAF, 1, 0x1F7D1}, {0xB0, 1, 0x2BD0},  {0xB1, 1, 0x2316},  {0xB2, 2, 0x2BCE},
    {0xB4, 1, 0x2BD1},  {0xB5, 1, 0x272A},  {0xB6, 1, 0x2730},  {0xB7, 12, 0x1F550},
    {0xC3, 8, 0x2BB0},  {0xCB, 2, 0x1F66A}, {0xCD, 1, 0x1F655}, {0xCE, 1, 0x1F654},
    {0xCF, 1, 0x1F657}, {0xD0, 1, 0x1F656}, {0xD1, 4, 0x1F650}, {0xD5, 1, 0x232B},
    {0xD6, 1, 0x2326},  {0xD7, 1, 0x2B98},  {0xD8, 1, 0x2B9A},  {0xD9, 1, 0x2B99},
    {0xDA, 1, 0x2B9B},  {0xDB, 1, 0x2B88},  {0xDC, 1, 0x2B8A},  {0xDD, 1, 0x2B89},
    {0xDE, 1, 0x2B8B},  {0xDF, 1, 0x1F868}, {0xE0, 1, 0x1F86A}, {0xE1, 1, 0x1F869},
    {0xE2, 3, 0x1F86B}, {0xE5, 1, 0x1F86F}, {0xE6, 1, 0x1F86E}, {0xE7, 1, 0x1F878},
    {0xE8, 1, 0x1F87A}, {0xE9, 1, 0x1F879}, {0xEA, 3, 0x1F87B}, {0xED, 1, 0x1F87F},
    {0xEE, 1, 0x1F87E}, {0xEF, 1, 0x21E6},  {0xF0, 1, 0x21E8},  {0xF1, 1, 0x21E7},
    {0xF2, 1, 0x21E9},  {0xF3, 1, 0x2B04},  {0xF4, 1, 0x21F3},  {0xF5, 1, 0x2B01},
    {0xF6, 1, 0x2B00},  {0xF7, 1, 0x2B03},  {0xF8, 1, 0x2B02},  {0xF9, 2, 0x1F8AC},
    {0xFB, 1, 0x1F5F6}, {0xFC, 1, 0x2713},  {0xFD, 1, 0x1F5F7}, {0xFE, 1, 0x1F5F9}};

constexpr SymbolRun kWingdings2[] = {
    {0x21, 4, 0x1F58A}, {0x25, 1, 0x2704},  {0x26, 1, 0x2700},   {0x27, 1, 0x1F57E},
    {0x28, 1, 0x1F57D}, {0x29, 9, 0x1F5C5}, {0x32, 1, 0x1F4CB},  {0x33, 1, 0x1F5D1},
    {0x34, 1, 0x1F5D4}, {0x35, 4, 0x1F5B5}, {0x39, 1, 0x1F5AD},  {0x3A, 1, 0x1F5AF},
    {0x3B, 1, 0x1F5B1}, {0x3C, 2, 0x1F592}, {0x3E, 4, 0x1F598},  {0x42, 2, 0x1F448},
    {0x44, 6, 0x1F59C}, {0x4A, 2, 0x1F446}, {0x4C, 2, 0x1F5A2},  {0x4E, 1, 0x1F591},
    {0x4F, 1, 0x1F5F4}, {0x50, 1, 0x1F5F8}, {0x51, 1, 0x1F5F5},  {0x52, 1, 0x2611},
    {0x53, 1, 0x2BBD},  {0x54, 1, 0x2612},  {0x55, 2, 0x2BBE},   {0x57, 1, 0x1F6C7},
    {0x58, 1, 0x29B8},  {0x59, 1, 0x1F671}, {0x5A, 1, 0x1F674},  {0x5B, 2, 0x1F672},
    {0x5D, 1, 0x203D},  {0x5E, 3, 0x1F679}, {0x61, 1, 0x1F666},  {0x62, 2, 0x1F664},
    {0x64, 1, 0x1F667}, {0x65, 1, 0x1F65A}, {0x66, 2, 0x1F658},  {0x68, 1, 0x1F65B},
    {0x69, 1, 0x24EA},  {0x6A, 10, 0x2460}, {0x74, 1, 0x24FF},   {0x75, 10, 0x2776},
    {0x80, 1, 0x2609},  {0x81, 1, 0x1F315}, {0x82, 2, 0x263D},   {0x84, 1, 0x2E3F},
    {0x85, 1, 0x271D},  {0x86, 1, 0x1F547}, {0x87, 12, 0x1F55C}, {0x93, 2, 0x1F668},
    {0x95, 1, 0x22C5},  {0x96, 1, 0x1F784}, {0x97, 1, 0x2981},   {0x98, 1, 0x25CF},
    {0x99, 1, 0x25CB},  {0x9A, 1, 0x1F785}, {0x9B, 1, 0x1F787},  {0x9C, 1, 0x1F789},
    {0x9D, 1, 0x2299},  {0x9E, 1, 0x29BF},  {0x9F, 2, 0x1F78C},  {0xA1, 1, 0x25FE},
    {0xA2, 2, 0x25A0},  {0xA4, 4, 0x1F791}, {0xA8, 1, 0x25A3},   {0xA9, 4, 0x1F795},
    {0xAD, 1, 0x2B29},  {0xAE, 1, 0x2B25},  {0xAF, 1, 0x25C7},   {0xB0, 1, 0x1F79A},
    {0xB1, 1, 0x25C8},  {0xB2, 4, 0x1F79B}, {0xB6, 1, 0x2B2A},   {0xB7, 1, 0x2B27},
    {0xB8, 1, 0x25CA},  {0xB9, 1, 0x1F7A0}, {0xBA, 2, 0x25D6},   {0xBC, 2, 0x2BCA},
    {0xBE, 2, 0x2BC0},  {0xC0, 1, 0x2B1F},  {0xC1, 1, 0x2BC2},   {0xC2, 1, 0x2B23},
    {0xC3, 1, 0x2B22},  {0xC4, 2, 0x2BC3},  {0xC6, 32, 0x1F7A1}, {0xE6, 1, 0x1F7C2},
    {0xE7, 1, 0x1F7C4}, {0xE8, 1, 0x1F7C6}, {0xE9, 2, 0x1F7C9},  {0xEB, 1, 0x2736},
    {0xEC, 1, 0x1F7CC}, {0xED, 1, 0x1F7CE}, {0xEE, 1, 0x1F7D0},  {0xEF, 1, 0x1F7D2},
    {0xF0, 1, 0x2739},  {0xF1, 1, 0x1F7C3}, {0xF2, 1, 0x1F7C7},  {0xF3, 1, 0x272F},
    {0xF4, 1, 0x1F7CD}, {0xF5, 1, 0x1F7D4}, {0xF6, 2, 0x2BCC},   {0xF8, 1, 0x203B},
    {0xF9, 1, 0x2042}};

constexpr SymbolRun kWingdings3[] = {
    {0x21, 1, 0x2B60},  {0x22, 1, 0x2B62},  {0x23, 1, 0x2B61},   {0x24, 1, 0x2B63},
    {0x25, 2, 0x2B66},  {0x27, 1, 0x2B69},  {0x28, 1, 0x2B68},   {0x29, 1, 0x2B70},
    {0x2A, 1, 0x2B72},  {0x2B, 1, 0x2B71},  {0x2C, 1, 0x2B73},   {0x2D, 1, 0x2B76},
    {0x2E, 1, 0x2B78},  {0x2F, 1, 0x2B7B},  {0x30, 1, 0x2B7D},   {0x31, 2, 0x2B64},
    {0x33, 1, 0x2B6A},  {0x34, 1, 0x2B6C},  {0x35, 1, 0x2B6B},   {0x36, 1, 0x2B6D},
    {0x37, 1, 0x2B4D},  {0x38, 8, 0x2BA0},  {0x40, 4, 0x2B90},   {0x44, 1, 0x2B80},
    {0x45, 1, 0x2B83},  {0x46, 2, 0x2B7E},  {0x48, 1, 0x2B84},   {0x49, 1, 0x2B86},
    {0x4A, 1, 0x2B85},  {0x4B, 1, 0x2B87},  {0x4C, 1, 0x2B8F},   {0x4D, 2, 0x2B8D},
    {0x4F, 1, 0x2B8C},  {0x50, 2, 0x2B6E},  {0x52, 1, 0x238B},   {0x53, 1, 0x2324},
    {0x54, 1, 0x2303},  {0x55, 1, 0x2325},  {0x56, 1, 0x2423},   {0x57, 1, 0x237D},
    {0x58, 1, 0x21EA},  {0x59, 1, 0x2BB8},  {0x5A, 12, 0x1F8A0}, {0x66, 1, 0x1F850},
    {0x67, 1, 0x1F852}, {0x68, 1, 0x1F851}, {0x69, 3, 0x1F853},  {0x6C, 1, 0x1F857},
    {0x6D, 1, 0x1F856}, {0x6E, 2, 0x1F858}, {0x70, 1, 0x25B2},   {0x71, 1, 0x25BC},
    {0x72, 1, 0x25B3},  {0x73, 1, 0x25BD},  {0x74, 1, 0x25C0},   {0x75, 1, 0x25B6},
    {0x76, 1, 0x25C1},  {0x77, 1, 0x25B7},  {0x78, 1, 0x25E3},   {0x79, 1, 0x25E2},
    {0x7A, 2, 0x25E4},  {0x7C, 1, 0x1F780}, {0x7D, 1, 0x1F782},  {0x7E, 1, 0x1F781},
    {0x80, 1, 0x1F783}, {0x81, 4, 0x2BC5},  {0x85, 1, 0x2B9C},   {0x86, 1, 0x2B9E},
    {0x87, 1, 0x2B9D},  {0x88, 1, 0x2B9F},  {0x89, 1, 0x1F810},  {0x8A, 1, 0x1F812},
    {0x8B, 1, 0x1F811}, {0x8C, 2, 0x1F813}, {0x8E, 1, 0x1F816},  {0x8F, 1, 0x1F815},
    {0x90, 2, 0x1F817}, {0x92, 1, 0x1F81A}, {0x93, 1, 0x1F819},  {0x94, 2, 0x1F81B},
    {0x96, 1, 0x1F81E}, {0x97, 1, 0x1F81D}, {0x98, 1, 0x1F81F},  {0x99, 1, 0x1F800},
    {0x9A, 1, 0x1F802}, {0x9B, 1, 0x1F801}, {0x9C, 2, 0x1F803},  {0x9E, 1, 0x1F806},
    {0x9F, 1, 0x1F805}, {0xA0, 2, 0x1F807}, {0xA2, 1, 0x1F80A},  {0xA3, 1, 0x1F809},
    {0xA4, 1, 0x1F80B}, {0xA5, 1, 0x1F820}, {0xA6, 1, 0x1F822},  {0xA7, 1, 0x1F824},
    {0xA8, 1, 0x1F826}, {0xA9, 1, 0x1F828}, {0xAA, 1, 0x1F82A},  {0xAB, 1, 0x1F82C},
    {0xAC, 4, 0x1F89C}, {0xB0, 1, 0x1F82E}, {0xB1, 1, 0x1F830},  {0xB2, 1, 0x1F832},
    {0xB3, 1, 0x1F834}, {0xB4, 1, 0x1F836}, {0xB5, 1, 0x1F838},  {0xB6, 1, 0x1F83A},
    {0xB7, 1, 0x1F839}, {0xB8, 1, 0x1F83B}, {0xB9, 1, 0x1F898},  {0xBA, 1, 0x1F89A},
    {0xBB, 1, 0x1F899}, {0xBC, 1, 0x1F89B}, {0xBD, 1, 0x1F83C},  {0xBE, 1, 0x1F83E},
    {0xBF, 1, 0x1F83D}, {0xC0, 2, 0x1F83F}, {0xC2, 1, 0x1F842},  {0xC3, 1, 0x1F841},
    {0xC4, 2, 0x1F843}, {0xC6, 1, 0x1F846}, {0xC7, 1, 0x1F845},  {0xC8, 1, 0x1F847},
    {0xC9, 8, 0x2BA8},  {0xD1, 1, 0x1F860}, {0xD2, 1, 0x1F862},  {0xD3, 1, 0x1F861},
    {0xD4, 3, 0x1F863}, {0xD7, 1, 0x1F867}, {0xD8, 1, 0x1F866},  {0xD9, 1, 0x1F870},
    {0xDA, 1, 0x1F872}, {0xDB, 1, 0x1F871}, {0xDC, 3, 0x1F873},  {0xDF, 1, 0x1F877},
    {0xE0, 1, 0x1F876}, {0xE1, 1, 0x1F880}, {0xE2, 1, 0x1F882},  {0xE3, 1, 0x1F881},
    {0xE4, 3, 0x1F883}, {0xE7, 1, 0x1F887}, {0xE8, 1, 0x1F886},  {0xE9, 1, 0x1F890},
    {0xEA, 1, 0x1F892}, {0xEB, 1, 0x1F891}, {0xEC, 2, 0x1F893},  {0xEE, 1, 0x1F896},
    {0xEF, 1, 0x1F895}, {0xF0, 1, 0x1F897}};

template <size_t N> char32_t lookupRun(const SymbolRun (&runs)[N], int c)
{
    for (const SymbolRun &r : runs)
        if (c >= r.first && c < r.first + r.count)
            return r.code + char32_t(c - r.first);
    return 0;
}

// Whether some installed font can draw the character; the answer is the same for
// the whole run of the program, so it is kept.
bool canDraw(char32_t u)
{
    static QMutex lock;
    static std::unordered_map<char32_t, bool> known;
    QMutexLocker locker(&lock);
    const auto it = known.find(u);
    if (it != known.end())
        return it->second;
    QFont font;
    font.setFamilies({QStringLiteral("OpenSymbol"), QStringLiteral("DejaVu Sans")});
    const bool ok = QFontMetricsF(font).inFontUcs4(uint(u));
    known.emplace(u, ok);
    return ok;
}

// The Symbol font's pieces for building tall brackets, braces and integrals,
// as the symbol stand-in keeps them at their Adobe private-use codes. They are
// drawn to stack into one bracket at the Symbol font's metrics; the Unicode
// pieces of the same names exist only in fallback fonts of another design,
// heavier and placed differently. 0 where the byte is no such piece.
char16_t symbolPiece(int c)
{
    if (c >= 0xE6 && c <= 0xEF)
        return char16_t(0xF8EB + (c - 0xE6));
    if (c == 0xF4)
        return 0xF8F5;
    if (c >= 0xF6 && c <= 0xFE)
        return char16_t(0xF8F6 + (c - 0xF6));
    if (c == 0xBD || c == 0xBE)
        return char16_t(0xF8E6 + (c - 0xBD));
    return 0;
}

enum class SymbolKind { None, Symbol, Wingdings, Wingdings2, Wingdings3, Webdings };

SymbolKind symbolKind(const Font &f)
{
    const QString face = f.face.trimmed().toLower();
    if (face == QLatin1String("symbol"))
        return SymbolKind::Symbol;
    if (face == QLatin1String("wingdings 2") || face == QLatin1String("wingdings2"))
        return SymbolKind::Wingdings2;
    if (face == QLatin1String("wingdings 3") || face == QLatin1String("wingdings3"))
        return SymbolKind::Wingdings3;
    if (face.startsWith(QLatin1String("wingdings")))
        return SymbolKind::Wingdings;
    if (face == QLatin1String("webdings"))
        return SymbolKind::Webdings;
    return SymbolKind::None;
}

const char *codePageFor(int charSet)
{
    switch (charSet) {
    case 128:
        return "Shift_JIS";
    case 129:
        return "windows-949";
    case 130:
        return "x-johab";
    case 134:
        return "GBK";
    case 136:
        return "Big5";
    case 161:
        return "windows-1253";
    case 162:
        return "windows-1254";
    case 163:
        return "windows-1258";
    case 177:
        return "windows-1255";
    case 178:
        return "windows-1256";
    case 186:
        return "windows-1257";
    case 204:
        return "windows-1251";
    case 222:
        return "windows-874";
    case 238:
        return "windows-1250";
    case 255:
        return "IBM437";
    case 77:
        return "macintosh";
    default:
        return nullptr;
    }
}

bool isLeadByte(int charSet, quint8 b)
{
    switch (charSet) {
    case 128:
        return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC);
    case 129:
    case 130:
    case 134:
    case 136:
        return b >= 0x81 && b <= 0xFE;
    default:
        return false;
    }
}

QString mapSymbols(const QString &text, SymbolKind kind)
{
    if (kind == SymbolKind::None)
        return text;
    QString out;
    out.reserve(text.size());
    for (QChar ch : text) {
        int c = ch.unicode();
        if (c >= 0xF020 && c <= 0xF0FF)
            c -= 0xF000;
        if (c < 0x20 || c > 0xFF) {
            out.append(ch);
            continue;
        }
        if (kind == SymbolKind::Symbol) {
            const char16_t piece = symbolPiece(c);
            out.append(QChar(piece && canDraw(piece) ? piece : kSymbol[c - 0x20]));
            continue;
        }
        char32_t u = 0;
        if (kind == SymbolKind::Wingdings)
            u = lookupRun(kWingdings, c);
        else if (kind == SymbolKind::Wingdings2)
            u = lookupRun(kWingdings2, c);
        else if (kind == SymbolKind::Wingdings3)
            u = lookupRun(kWingdings3, c);
        if (c == 0x20)
            u = 0x20;
        else if (u == 0 || !canDraw(u))
            u = kind == SymbolKind::Wingdings || kind == SymbolKind::Webdings ? wingdingStandIn(c)
                                                                              : char32_t(0x2022);
        out.append(QString::fromUcs4(&u, 1));
    }
    return out;
}

// The face GDI draws for a face name: Windows installs the PostScript names
// Helvetica and Times as aliases of Arial and Times New Roman (its font
// substitutes), so they draw with those fonts' metrics, not those of the
// PostScript fonts the names would find here.
QString windowsFace(const QString &face)
{
    const QString key = face.trimmed();
    if (key.isEmpty())
        return QStringLiteral("Arial");
    if (key.compare(QLatin1String("Helvetica"), Qt::CaseInsensitive) == 0)
        return QStringLiteral("Arial");
    if (key.compare(QLatin1String("Times"), Qt::CaseInsensitive) == 0 ||
        key.compare(QLatin1String("Tms Rmn"), Qt::CaseInsensitive) == 0)
        return QStringLiteral("Times New Roman");
    return face;
}

// The average character width that a font's width (lfWidth) is measured
// against. GDI takes it from the font's xAvgCharWidth, which the Windows core
// fonts give as the mean of the lower-case letters and the space weighted by
// how often they occur in English text. The stand-in fonts have the same
// advances but state an average over all their glyphs, a third wider for
// Arial's stand-in, so the weighted mean is taken from the advances instead.
// Symbol fonts weigh the characters at those codes. In pixels of fm's font.
double weightedAverageWidth(const QFontMetricsF &fm, SymbolKind kind)
{
    static constexpr int kWeights[26] = {64, 14, 27, 35, 100, 20, 14, 42, 63, 3,  6, 35, 20,
                                         56, 56, 17, 4,  49,  56, 71, 31, 10, 18, 3, 18, 2};
    QString letters;
    for (int i = 0; i < 26; ++i)
        letters.append(QChar(u'a' + i));
    letters = mapSymbols(letters, kind);
    if (letters.size() != 26)
        return fm.averageCharWidth();
    double sum = 166 * fm.horizontalAdvance(QChar(u' '));
    for (int i = 0; i < 26; ++i) {
        if (!fm.inFont(letters.at(i)))
            return fm.averageCharWidth();
        sum += kWeights[i] * fm.horizontalAdvance(letters.at(i));
    }
    return sum / 1000;
}

// A font's ascent and descent as GDI measures them, in fractions of the em:
// from the usWinAscent and usWinDescent of its OS/2 table, which is what the
// cell height of a positive font height and the top and bottom alignments
// refer to. Some fonts give their horizontal header a shorter line than that
// (OpenSymbol, which stands in for the symbol fonts, a quarter shorter), and
// the font engine may report that one. Falls back to the engine's metrics.
std::pair<double, double> winAscentDescent(const QFont &font, const QFontMetricsF &fm)
{
    const QRawFont raw = QRawFont::fromFont(font);
    if (raw.isValid()) {
        const QByteArray os2 = raw.fontTable("OS/2");
        const QByteArray head = raw.fontTable("head");
        if (os2.size() >= 78 && head.size() >= 20) {
            auto u16 = [](const QByteArray &t, int at) {
                return int(quint8(t[at])) << 8 | int(quint8(t[at + 1]));
            };
            const int unitsPerEm = u16(head, 18);
            const int ascent = u16(os2, 74), descent = u16(os2, 76);
            if (unitsPerEm >= 16 && ascent + descent > 0)
                return {double(ascent) / unitsPerEm, double(descent) / unitsPerEm};
        }
    }
    const double px = font.pixelSize() > 0 ? font.pixelSize() : fm.height();
    return {fm.ascent() / px, fm.descent() / px};
}

} // namespace

QString GdiDevice::decodeAnsi(QByteArrayView bytes, std::vector<double> *dx) const
{
    const int cs = m_s.font.charSet;
    if (cs == 2 || symbolKind(m_s.font) != SymbolKind::None) {
        // Symbol fonts: keep the byte values; the glyph mapping happens at drawing.
        QString s;
        for (char b : bytes)
            s.append(QChar(quint8(b)));
        return s;
    }
    const char *cp = codePageFor(cs);
    if (cp) {
        QStringDecoder decoder(cp);
        if (decoder.isValid()) {
            QString s = decoder.decode(bytes);
            if (dx && !dx->empty() &&
                (cs == 128 || cs == 129 || cs == 130 || cs == 134 || cs == 136)) {
                // Double-byte code pages give one advance per byte: merge them per character.
                std::vector<double> merged;
                for (qsizetype i = 0; i < bytes.size(); ++i) {
                    double adv = i < qsizetype(dx->size()) ? (*dx)[size_t(i)] : 0;
                    if (isLeadByte(cs, quint8(bytes[i])) && i + 1 < bytes.size()) {
                        ++i;
                        if (i < qsizetype(dx->size()))
                            adv += (*dx)[size_t(i)];
                    }
                    merged.push_back(adv);
                }
                *dx = std::move(merged);
            }
            return s;
        }
    }
    QString s;
    s.reserve(bytes.size());
    for (char b : bytes) {
        const quint8 u = quint8(b);
        s.append(u >= 0x80 && u < 0xA0 ? QChar(kCp1252High[u - 0x80]) : QChar(u));
    }
    return s;
}

void GdiDevice::textOut(const TextRun &run)
{
    drawTextRun(run);
}

void GdiDevice::drawTextRun(const TextRun &run)
{
    const Font &lf = m_s.font;
    const QTransform m = logicalToDevice();
    const QPointF refLogical = (m_s.textAlign & TA_UPDATECP) ? m_s.curPos : run.reference;
    if (!std::isfinite(refLogical.x()) || !std::isfinite(refLogical.y()))
        return;
    const qsizetype count = run.glyphs.empty() ? run.text.size() : qsizetype(run.glyphs.size());
    if (!spend(4 + count))
        return;

    // ETO_OPAQUE fills the rectangle even when there is no text.
    if (run.rect && (run.options & ETO_OPAQUE) && !m_pathOpen) {
        QPainterPath r;
        r.addRect(run.rect->normalized());
        const QPainterPath dev = m.map(r);
        if (!measured(dev.boundingRect())) {
            beginDraw();
            m_p.setRenderHint(QPainter::Antialiasing, false);
            m_p.fillPath(dev, color(m_s.bkColor));
        }
    }
    if (count == 0)
        return;

    // Font selection.
    const SymbolKind symbols = symbolKind(lf);
    QFont font;
    if (symbols == SymbolKind::None || !run.glyphs.empty())
        font.setFamily(windowsFace(lf.face));
    else
        font.setFamilies({QStringLiteral("OpenSymbol"), QStringLiteral("DejaVu Sans")});
    if ((lf.pitchAndFamily & 0x3) == 1 || (lf.pitchAndFamily & 0xF0) == 0x30)
        font.setStyleHint(QFont::Monospace);
    else if ((lf.pitchAndFamily & 0xF0) == 0x10)
        font.setStyleHint(QFont::Serif);
    else
        font.setStyleHint(QFont::SansSerif);
    const int weight = lf.weight <= 0 ? 400 : qBound(1, lf.weight, 1000);
    font.setWeight(QFont::Weight(weight));
    font.setItalic(lf.italic);
    font.setUnderline(lf.underline);
    font.setStrikeOut(lf.strikeOut);
    font.setKerning(false);
    font.setHintingPreference(QFont::PreferVerticalHinting);

    // Linear part of the page/world transform and the text frame on the device.
    const double l11 = m.m11(), l12 = m.m12(), l21 = m.m21(), l22 = m.m22();
    const bool diagonal = std::abs(l12) < 1e-12 && std::abs(l21) < 1e-12;
    const double det = l11 * l22 - l12 * l21;
    if (std::abs(det) < 1e-24)
        return;
    const double esc = qDegreesToRadians(lf.escapement / 10.0);
    const double ce = std::cos(esc), se = std::sin(esc);

    // Em height in logical units; a positive height is the cell height.
    double heightLogical = std::abs(double(lf.height));
    if (lf.height == 0)
        heightLogical = 16.0 / std::sqrt(std::abs(det)); // a default of about 12pt on screen
    QFont probe = font;
    probe.setPixelSize(1000);
    const QFontMetricsF probeMetrics(probe);
    const auto [winAscent, winDescent] = winAscentDescent(probe, probeMetrics);
    double em = heightLogical;
    if (lf.height > 0) {
        const double cell = (winAscent + winDescent) * 1000.0;
        if (cell > 0)
            em = heightLogical * 1000.0 / cell;
    }

    // Baseline (U) and descent (D) directions on the device, per logical unit of em.
    QPointF U, D, advance;
    if (diagonal) {
        const double sx = std::abs(l11), sy = std::abs(l22);
        U = QPointF(ce, -se) * sy;
        D = QPointF(se, ce) * sy;
        advance = QPointF(ce, -se) * sx;
    } else {
        QPointF b(ce, -se), d(se, ce);
        if (det < 0) {
            b = QPointF(ce, se);
            d = QPointF(se, -ce);
        }
        auto lin = [&](QPointF v) {
            return QPointF(v.x() * l11 + v.y() * l21, v.x() * l12 + v.y() * l22);
        };
        U = lin(b);
        D = lin(d);
        advance = U;
    }
    const double deviceEm = em * std::sqrt(std::abs(U.x() * D.y() - U.y() * D.x()));
    const double targetEm = deviceEm * m_setup.pixelScale;
    if (!std::isfinite(targetEm) || targetEm > 1e5)
        return;
    const int fontPx = qBound(1, int(std::lround(targetEm)), 4000);
    font.setPixelSize(fontPx);
    const QFontMetricsF fm(font);
    const double k = em / fontPx; // logical units per font pixel

    double widthFactor = 1.0;
    if (lf.width != 0) {
        const double avg = weightedAverageWidth(probeMetrics, symbols) * em / 1000.0;
        if (avg > 0)
            widthFactor = qBound(0.05, std::abs(lf.width) / avg, 20.0);
    }
    const double uLen = std::hypot(U.x(), U.y());
    const double aLen = std::hypot(advance.x(), advance.y());
    if (uLen <= 0)
        return;
    // Local text space: x along the baseline and y down, in font pixels.
    const QTransform local(U.x() * k * widthFactor, U.y() * k * widthFactor, D.x() * k, D.y() * k,
                           0, 0);
    const double localPerLogicalAdvance = aLen / (uLen * k * widthFactor);

    // Characters, positions and the run's width in local units.
    QString text = mapSymbols(run.text, run.glyphs.empty() ? symbols : SymbolKind::None);
    // The stand-ins draw the Symbol font's degree sign as a ring on the baseline
    // (their operator form); the Symbol font's own is a raised ring near the top
    // of the em. It is taken from a font of the Symbol font's design when one
    // is installed; the other characters keep the stand-ins' shapes.
    QFont designFont = font;
    designFont.setFamilies({QStringLiteral("Standard Symbols PS")});
    designFont.setPixelSize(fontPx);
    std::vector<bool> inDesign;
    if (symbols == SymbolKind::Symbol && run.glyphs.empty() && text.contains(QChar(0x00B0))) {
        const QRawFont design = QRawFont::fromFont(designFont);
        if (design.isValid() &&
            design.familyName().startsWith(designFont.families().constFirst()) &&
            design.supportsCharacter(QChar(0x00B0)))
            for (QChar c : text)
                inDesign.push_back(c == QChar(0x00B0));
    }
    const QFontMetricsF designMetrics(designFont);
    std::vector<double> xs;
    std::vector<double> ys;
    double total = 0;
    double endY = 0; // where ETO_PDY's vertical advances leave the next character
    const bool haveDx = !run.dx.empty();
    auto advanceOf = [&](qsizetype i) {
        return !inDesign.empty() && inDesign[size_t(i)]
                   ? designMetrics.horizontalAdvance(text.at(i))
                   : fm.horizontalAdvance(text.at(i));
    };
    const qsizetype n = run.glyphs.empty() ? text.size() : qsizetype(run.glyphs.size());
    if (haveDx || !run.glyphs.empty() || !inDesign.empty()) {
        xs.reserve(size_t(n));
        double y = 0;
        // The advances count characters; a symbol mapped outside the basic plane
        // takes two code units here, the second one riding on the first's advance.
        size_t ci = 0;
        for (qsizetype i = 0; i < n; ++i) {
            xs.push_back(total);
            ys.push_back(y);
            if (run.glyphs.empty() && i > 0 && text.at(i).isLowSurrogate() &&
                text.at(i - 1).isHighSurrogate())
                continue;
            double adv;
            if (ci < run.dx.size())
                adv = run.dx[ci] * localPerLogicalAdvance;
            else if (run.glyphs.empty())
                adv = advanceOf(i);
            else
                adv = fm.averageCharWidth();
            if (!std::isfinite(adv))
                return;
            total += adv;
            if (ci < run.dy.size())
                y -= run.dy[ci] * localPerLogicalAdvance;
            ++ci;
        }
        endY = y;
    } else {
        total = fm.horizontalAdvance(text) + m_s.charExtra * localPerLogicalAdvance * double(n);
    }

    double x0 = 0;
    switch (m_s.textAlign & TA_HORZ_MASK) {
    case TA_CENTER:
        x0 = -total / 2;
        break;
    case TA_RIGHT:
        x0 = -total;
        break;
    default:
        break;
    }
    double baseline = 0;
    switch (m_s.textAlign & TA_VERT_MASK) {
    case TA_BASELINE:
        baseline = 0;
        break;
    case TA_BOTTOM:
        baseline = -winDescent * fontPx;
        break;
    default:
        baseline = winAscent * fontPx;
        break;
    }

    const QPointF origin = m.map(refLogical);
    const QTransform toDevice = local * QTransform::fromTranslate(origin.x(), origin.y());

    if (m_s.textAlign & TA_UPDATECP) {
        const double newX = (m_s.textAlign & TA_HORZ_MASK) == TA_RIGHT    ? x0
                            : (m_s.textAlign & TA_HORZ_MASK) == TA_CENTER ? 0
                                                                          : x0 + total;
        const bool left = (m_s.textAlign & TA_HORZ_MASK) == TA_LEFT;
        const QPointF dev = toDevice.map(QPointF(newX, left ? endY : 0));
        bool invertible = false;
        const QTransform inv = m.inverted(&invertible);
        if (invertible)
            m_s.curPos = inv.map(dev);
    }

    if (m_pathOpen) {
        QPainterPath tp;
        if (run.glyphs.empty()) {
            if (xs.empty())
                tp.addText(QPointF(x0, baseline), font, text);
            else
                for (qsizetype i = 0; i < n; ++i)
                    tp.addText(QPointF(x0 + xs[size_t(i)], baseline + ys[size_t(i)]), font,
                               text.mid(i, 1));
        }
        m_path.addPath(toDevice.map(tp));
        return;
    }

    // A file measured for its size counts text by its reference point, as other
    // viewers do, so that its frame matches theirs.
    if (measured(QRectF(origin, QSizeF(0.01, 0.01))))
        return;
    beginDraw();
    if (run.rect && (run.options & ETO_CLIPPED)) {
        QPainterPath r;
        r.addRect(run.rect->normalized());
        m_p.setClipPath(m.map(r), Qt::IntersectClip);
        m_clipDirty = true; // the next draw starts from the DC's own clip again
    }
    QTransform toTarget = toDevice * m_setup.deviceToTarget;
    if (toTarget.type() <= QTransform::TxScale) {
        // Upright text sits on a whole pixel row. The rasteriser would round the
        // baseline to the nearest row, which drops half of all runs a row lower than
        // other renderers place them; move it up unless it is nearly on the next row.
        const QPointF base = toTarget.map(QPointF(x0, baseline));
        const double snapped = std::floor(base.y() + 0.25);
        if (std::isfinite(snapped))
            toTarget *= QTransform::fromTranslate(0, snapped - base.y());
    }
    m_p.setTransform(toTarget);
    if (m_s.bkMode == OPAQUE && !(run.options & ETO_OPAQUE)) {
        m_p.setRenderHint(QPainter::Antialiasing, false);
        m_p.fillRect(
            QRectF(x0, baseline - winAscent * fontPx, total, (winAscent + winDescent) * fontPx),
            color(m_s.bkColor));
        m_p.setRenderHint(QPainter::Antialiasing, true);
    }
    m_p.setPen(color(m_s.textColor));
    m_p.setFont(font);

    if (!run.glyphs.empty()) {
        QRawFont raw = QRawFont::fromFont(font);
        if (!raw.isValid())
            return;
        // Glyph indexes only mean something in the font they came from.
        if (raw.familyName().compare(lf.face, Qt::CaseInsensitive) != 0)
            return;
        QList<quint32> glyphs;
        QList<QPointF> positions;
        for (qsizetype i = 0; i < n; ++i) {
            glyphs.append(run.glyphs[size_t(i)]);
            positions.append(QPointF(x0 + xs[size_t(i)], baseline + ys[size_t(i)]));
        }
        QGlyphRun gr;
        gr.setRawFont(raw);
        gr.setGlyphIndexes(glyphs);
        gr.setPositions(positions);
        gr.setUnderline(lf.underline);
        gr.setStrikeOut(lf.strikeOut);
        m_p.drawGlyphRun(QPointF(0, 0), gr);
        return;
    }
    if (xs.empty()) {
        if (m_s.charExtra == 0) {
            m_p.drawText(QPointF(x0, baseline), text);
            return;
        }
        double x = x0;
        const double extra = m_s.charExtra * localPerLogicalAdvance;
        for (qsizetype i = 0; i < text.size(); ++i) {
            m_p.drawText(QPointF(x, baseline), text.mid(i, 1));
            x += fm.horizontalAdvance(text.at(i)) + extra;
        }
        return;
    }
    // Each character at its own advance. Surrogate pairs travel together.
    for (qsizetype i = 0; i < n; ++i) {
        const QChar c = text.at(i);
        if (c.isSpace())
            continue;
        if (c.isHighSurrogate() && i + 1 < n) {
            m_p.drawText(QPointF(x0 + xs[size_t(i)], baseline + ys[size_t(i)]), text.mid(i, 2));
            ++i;
            continue;
        }
        if (!inDesign.empty())
            m_p.setFont(inDesign[size_t(i)] ? designFont : font);
        m_p.drawText(QPointF(x0 + xs[size_t(i)], baseline + ys[size_t(i)]), QString(c));
    }
}

} // namespace metafile
