// The compiled resources, read back from this test's own module: the two
// dialog templates control by control, the bitmaps' and icon's formats, the
// accelerators, the menu and the string.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "resources/resource.h"

namespace {

struct Item {
  uint32_t style;
  uint32_t exStyle;
  int16_t x, y, cx, cy;
  int32_t id;
  std::string className;
  std::string text;
};

struct Dialog {
  bool extended;
  uint32_t helpId;
  uint32_t style;
  uint32_t exStyle;
  int16_t x, y, cx, cy;
  std::string menu, className, caption;
  uint16_t pointSize;
  uint16_t weight;
  uint8_t italic;
  uint8_t charset;
  std::string font;
  std::vector<Item> items;
};

// Reads the little-endian template the resource compiler wrote.
struct Reader {
  const uint8_t* base;
  size_t at;

  uint16_t Word() {
    uint16_t v;
    std::memcpy(&v, base + at, 2);
    at += 2;
    return v;
  }
  uint32_t Dword() {
    uint32_t v;
    std::memcpy(&v, base + at, 4);
    at += 4;
    return v;
  }
  uint8_t Byte() { return base[at++]; }
  void AlignDword() { at = (at + 3) & ~size_t{3}; }

  std::string String() {
    std::string s;
    for (uint16_t c = Word(); c != 0; c = Word()) s += static_cast<char>(c);
    return s;
  }
  // A name or a 0xFFFF-prefixed number; predefined control classes by atom.
  std::string NameOrOrdinal() {
    uint16_t first;
    std::memcpy(&first, base + at, 2);
    if (first != 0xFFFF) return String();
    at += 2;
    uint16_t ordinal = Word();
    switch (ordinal) {
      case 0x80: return "BUTTON";
      case 0x81: return "EDIT";
      case 0x82: return "STATIC";
      case 0x85: return "COMBOBOX";
      default: return "#" + std::to_string(ordinal);
    }
  }
};

std::string Upper(std::string s) {
  for (char& c : s) c = static_cast<char>(toupper(static_cast<unsigned char>(c)));
  return s;
}

const uint8_t* Resource(int id, LPCSTR type, DWORD* size) {
  HRSRC found = FindResourceA(nullptr, MAKEINTRESOURCEA(id), type);
  if (!found) return nullptr;
  *size = SizeofResource(nullptr, found);
  HGLOBAL loaded = LoadResource(nullptr, found);
  return loaded ? static_cast<const uint8_t*>(LockResource(loaded)) : nullptr;
}

Dialog ReadDialog(int id) {
  DWORD size = 0;
  const uint8_t* data = Resource(id, MAKEINTRESOURCEA(5), &size);
  EXPECT_NE(data, nullptr) << "dialog " << id;
  Dialog d{};
  if (!data) return d;
  Reader r{data, 0};
  d.extended = r.Word() == 1 && r.Word() == 0xFFFF;
  r.at = d.extended ? 4 : 0;
  if (d.extended) {
    d.helpId = r.Dword();
    d.exStyle = r.Dword();
    d.style = r.Dword();
  } else {
    d.style = r.Dword();
    d.exStyle = r.Dword();
  }
  uint16_t count = r.Word();
  d.x = static_cast<int16_t>(r.Word());
  d.y = static_cast<int16_t>(r.Word());
  d.cx = static_cast<int16_t>(r.Word());
  d.cy = static_cast<int16_t>(r.Word());
  d.menu = r.NameOrOrdinal();
  d.className = r.NameOrOrdinal();
  d.caption = r.String();
  if (d.style & DS_SETFONT) {
    d.pointSize = r.Word();
    if (d.extended) {
      d.weight = r.Word();
      d.italic = r.Byte();
      d.charset = r.Byte();
    }
    d.font = r.String();
  }
  for (uint16_t i = 0; i < count; ++i) {
    r.AlignDword();
    Item item{};
    if (d.extended) {
      r.Dword();  // help id
      item.exStyle = r.Dword();
      item.style = r.Dword();
    } else {
      item.style = r.Dword();
      item.exStyle = r.Dword();
    }
    item.x = static_cast<int16_t>(r.Word());
    item.y = static_cast<int16_t>(r.Word());
    item.cx = static_cast<int16_t>(r.Word());
    item.cy = static_cast<int16_t>(r.Word());
    item.id = d.extended ? static_cast<int32_t>(r.Dword()) : static_cast<int16_t>(r.Word());
    item.className = Upper(r.NameOrOrdinal());
    item.text = r.NameOrOrdinal();
    r.at += r.Word();  // creation data
    d.items.push_back(item);
  }
  EXPECT_LE(r.at, size) << "dialog " << id << " read past its end";
  return d;
}

void ExpectItems(const Dialog& d, const std::vector<Item>& expected) {
  ASSERT_EQ(d.items.size(), expected.size());
  for (size_t i = 0; i < expected.size(); ++i) {
    const Item& got = d.items[i];
    const Item& want = expected[i];
    SCOPED_TRACE("control " + std::to_string(i + 1) + " \"" + want.text + "\"");
    EXPECT_EQ(got.id, want.id);
    EXPECT_EQ(got.className, want.className);
    EXPECT_EQ(got.text, want.text);
    EXPECT_EQ(got.style, want.style);
    EXPECT_EQ(got.exStyle, want.exStyle);
    EXPECT_EQ(got.x, want.x);
    EXPECT_EQ(got.y, want.y);
    EXPECT_EQ(got.cx, want.cx);
    EXPECT_EQ(got.cy, want.cy);
  }
}

constexpr uint32_t LIST = 0x50210003, FIELD = 0x50810880, LABEL = 0x50020000, GO = 0x50012001;

TEST(resources_test, receiver_panel_template) {
  Dialog d = ReadDialog(IDD_RECEIVER_PANEL);
  EXPECT_FALSE(d.extended);
  EXPECT_EQ(d.style, 0x400000C0u);
  EXPECT_EQ(d.exStyle, 0u);
  EXPECT_EQ(d.x, 3);
  EXPECT_EQ(d.y, 17);
  EXPECT_EQ(d.cx, 157);
  EXPECT_EQ(d.cy, 115);
  EXPECT_EQ(d.menu, "");
  EXPECT_EQ(d.className, "");
  EXPECT_EQ(d.caption, "");
  EXPECT_EQ(d.pointSize, 8);
  EXPECT_EQ(d.font, "System");
  ExpectItems(d, {
      {LIST, 0, 41, 2, 48, 69, IDC_PORT_LIST, "COMBOBOX", ""},
      {LABEL, 0, 2, 4, 36, 11, -1, "STATIC", "COM PORT"},
      {FIELD, 0, 41, 18, 42, 12, IDC_UTC_TIME, "EDIT", ""},
      {LABEL, 0, 4, 20, 34, 11, -1, "STATIC", "UTC TIME"},
      {LABEL, 0, 5, 33, 33, 11, -1, "STATIC", "Latitude"},
      {FIELD, 0, 41, 32, 21, 12, IDC_LAT_DEGREES, "EDIT", ""},
      {LABEL, 0, 62, 33, 19, 10, -1, "STATIC", "Degs"},
      {FIELD, 0, 81, 32, 30, 12, IDC_LAT_MINUTES, "EDIT", ""},
      {LABEL, 0, 112, 34, 15, 10, -1, "STATIC", "Mins"},
      {FIELD, 0, 131, 32, 25, 12, IDC_LAT_HEMISPHERE, "EDIT", ""},
      {LABEL, 0, 5, 47, 33, 11, -1, "STATIC", "Longitude"},
      {FIELD, 0, 41, 46, 21, 12, IDC_LON_DEGREES, "EDIT", ""},
      {LABEL, 0, 62, 47, 19, 10, -1, "STATIC", "Degs"},
      {FIELD, 0, 81, 47, 30, 12, IDC_LON_MINUTES, "EDIT", ""},
      {LABEL, 0, 112, 48, 16, 10, -1, "STATIC", "Mins"},
      {FIELD, 0, 131, 46, 25, 12, IDC_LON_HEMISPHERE, "EDIT", ""},
      {LABEL, 0, 4, 75, 33, 11, -1, "STATIC", "Fix Valid?"},
      {FIELD, 0, 41, 74, 21, 12, IDC_FIX_VALID, "EDIT", ""},
      {LABEL, 0, 5, 61, 33, 11, -1, "STATIC", "Used"},
      {FIELD, 0, 41, 60, 21, 12, IDC_SATELLITES, "EDIT", ""},
      {LABEL, 0, 64, 61, 81, 11, -1, "STATIC", "Satellites in position fix"},
      {LABEL, 0, 5, 89, 33, 11, -1, "STATIC", "Altitude"},
      {FIELD, 0, 41, 88, 34, 12, IDC_ALTITUDE, "EDIT", ""},
      {LABEL, 0, 5, 103, 33, 11, -1, "STATIC", "HDOP"},
      {FIELD, 0, 41, 102, 34, 12, IDC_HDOP, "EDIT", ""},
      {LABEL, 0, 76, 103, 81, 11, -1, "STATIC", "Horizontal Dillusion"},
      {GO, 0, 115, 3, 40, 23, IDOK, "BUTTON", "GO"},
  });
}

TEST(resources_test, about_box_template) {
  Dialog d = ReadDialog(IDD_ABOUT);
  EXPECT_TRUE(d.extended);
  EXPECT_EQ(d.helpId, 0u);
  EXPECT_EQ(d.style, 0x00C000C0u);
  EXPECT_EQ(d.exStyle, 0u);
  EXPECT_EQ(d.x, 3);
  EXPECT_EQ(d.y, 20);
  EXPECT_EQ(d.cx, 209);
  EXPECT_EQ(d.cy, 130);
  EXPECT_EQ(d.menu, "");
  EXPECT_EQ(d.className, "");
  EXPECT_EQ(d.caption, "ABOUT ORVO NMEA GPS LIBRARY");
  EXPECT_EQ(d.pointSize, 8);
  EXPECT_EQ(d.weight, 0);
  EXPECT_EQ(d.italic, 0);
  EXPECT_EQ(d.charset, 1);
  EXPECT_EQ(d.font, "MS Sans Serif");
  ExpectItems(d, {
      {0x50010001, 0, 158, 113, 50, 15, IDOK, "BUTTON", "OK"},
      {0x50011884, 0x20, 0, 0, 208, 112, IDC_ABOUT_TEXT, "EDIT", ""},
  });
}

// The standard 16-colour palette in its usual order, as RGB.
void ExpectStandardPalette(const uint8_t* palette, int id) {
  const uint8_t standard[16][3] = {
      {0, 0, 0},       {128, 0, 0},     {0, 128, 0},   {128, 128, 0},
      {0, 0, 128},     {128, 0, 128},   {0, 128, 128}, {192, 192, 192},
      {128, 128, 128}, {255, 0, 0},     {0, 255, 0},   {255, 255, 0},
      {0, 0, 255},     {255, 0, 255},   {0, 255, 255}, {255, 255, 255}};
  for (int i = 0; i < 16; ++i) {
    const uint8_t* quad = palette + i * 4;  // blue, green, red, reserved
    EXPECT_EQ(quad[2], standard[i][0]) << "resource " << id << " colour " << i;
    EXPECT_EQ(quad[1], standard[i][1]) << "resource " << id << " colour " << i;
    EXPECT_EQ(quad[0], standard[i][2]) << "resource " << id << " colour " << i;
  }
}

TEST(resources_test, bitmaps_are_16_colour_at_their_sizes) {
  struct Case {
    int id;
    LONG width;
    LONG height;
  };
  const Case cases[] = {{IDB_TOOLBAR_GO, 70, 21},    {IDB_TOOLBAR_STOP, 70, 21},
                        {IDB_TOOLBAR_ABOUT, 70, 21}, {IDB_TOOLBAR_EXIT, 70, 21},
                        {IDB_INDICATOR_LIT, 21, 14}, {IDB_INDICATOR_DARK, 21, 14}};
  for (const Case& c : cases) {
    DWORD size = 0;
    const uint8_t* data = Resource(c.id, MAKEINTRESOURCEA(2), &size);
    ASSERT_NE(data, nullptr) << "bitmap " << c.id;
    BITMAPINFOHEADER header;
    std::memcpy(&header, data, sizeof header);
    EXPECT_EQ(header.biWidth, c.width) << c.id;
    EXPECT_EQ(header.biHeight, c.height) << c.id;
    EXPECT_EQ(header.biBitCount, 4) << c.id;
    EXPECT_EQ(header.biCompression, static_cast<DWORD>(BI_RGB)) << c.id;
    const uint8_t* palette = data + header.biSize;
    ExpectStandardPalette(palette, c.id);
    // Light grey ground: the first pixel of the bottom row is palette entry 7.
    const uint8_t* pixels = palette + 16 * 4;
    int index = pixels[0] >> 4;
    EXPECT_EQ(palette[index * 4 + 0], 192) << c.id;
    EXPECT_EQ(palette[index * 4 + 1], 192) << c.id;
    EXPECT_EQ(palette[index * 4 + 2], 192) << c.id;
  }
}

TEST(resources_test, icon_group_holds_one_opaque_16_colour_16x16_image) {
  DWORD size = 0;
  const uint8_t* group = Resource(IDI_DEMO, MAKEINTRESOURCEA(14), &size);
  ASSERT_NE(group, nullptr);
  Reader r{group, 0};
  EXPECT_EQ(r.Word(), 0);
  EXPECT_EQ(r.Word(), 1);  // icon
  ASSERT_EQ(r.Word(), 1);  // one image
  EXPECT_EQ(r.Byte(), 16);
  EXPECT_EQ(r.Byte(), 16);
  EXPECT_EQ(r.Byte(), 16);  // colours
  r.Byte();
  r.Word();
  EXPECT_EQ(r.Word(), 4);  // bits per pixel
  r.Dword();
  int imageId = r.Word();
  const uint8_t* image = Resource(imageId, MAKEINTRESOURCEA(3), &size);
  ASSERT_NE(image, nullptr);
  BITMAPINFOHEADER header;
  std::memcpy(&header, image, sizeof header);
  EXPECT_EQ(header.biWidth, 16);
  EXPECT_EQ(header.biHeight, 32);
  EXPECT_EQ(header.biBitCount, 4);
  ExpectStandardPalette(image + header.biSize, imageId);
  const uint8_t* mask = image + header.biSize + 16 * 4 + 16 * 8;
  ASSERT_EQ(header.biSize + 16 * 4 + 16 * 8 + 16 * 4, size);
  for (int i = 0; i < 16 * 4; ++i) EXPECT_EQ(mask[i], 0) << "transparent mask byte " << i;
  EXPECT_NE(LoadIconA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDI_DEMO)), nullptr);
}

TEST(resources_test, accelerators_menu_and_string) {
  DWORD size = 0;
  const uint8_t* table = Resource(IDR_ACCELERATORS, MAKEINTRESOURCEA(9), &size);
  ASSERT_NE(table, nullptr);
  ASSERT_EQ(size, 16u);
  Reader r{table, 0};
  const uint16_t expected[2][3] = {{FALT, '?', ID_CMD_ABOUT}, {FALT | 0x80, '/', ID_CMD_ABOUT}};
  for (const auto& entry : expected) {
    EXPECT_EQ(r.Word(), entry[0]);
    EXPECT_EQ(r.Word(), entry[1]);
    EXPECT_EQ(r.Word(), entry[2]);
    r.Word();
  }

  HMENU menu = LoadMenuA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDR_MENU));
  ASSERT_NE(menu, nullptr);
  ASSERT_EQ(GetMenuItemCount(menu), 3);
  const struct {
    const char* popup;
    const char* item;
    UINT command;
  } rows[] = {{"&File", "E&xit", ID_CMD_EXIT},
              {"Options", "Select Protocol(s)", ID_CMD_SELECT_PROTOCOLS},
              {"&Help", "&About ...", ID_CMD_ABOUT}};
  for (int i = 0; i < 3; ++i) {
    char text[64] = "";
    GetMenuStringA(menu, i, text, sizeof text, MF_BYPOSITION);
    EXPECT_STREQ(text, rows[i].popup);
    HMENU popup = GetSubMenu(menu, i);
    ASSERT_NE(popup, nullptr);
    ASSERT_EQ(GetMenuItemCount(popup), 1);
    EXPECT_EQ(GetMenuItemID(popup, 0), rows[i].command);
    GetMenuStringA(popup, 0, text, sizeof text, MF_BYPOSITION);
    EXPECT_STREQ(text, rows[i].item);
  }
  DestroyMenu(menu);

  char text[64] = "";
  EXPECT_GT(LoadStringA(GetModuleHandleA(nullptr), IDS_APP_DESCRIPTION, text, sizeof text), 0);
  EXPECT_STREQ(text, "DEMO APPLICATION FOR ORVO GPS LIBRARY");
  for (int id = 96; id <= 111; ++id) {
    if (id == IDS_APP_DESCRIPTION) continue;
    EXPECT_EQ(LoadStringA(GetModuleHandleA(nullptr), id, text, sizeof text), 0) << id;
  }
}

}  // namespace
