#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <memory>

#include "GuiTestSupport.h"
#include "TestResources.h"
#include "framework/Application.h"
#include "framework/gui/Bitmap.h"
#include "framework/gui/DIBSection.h"
#include "framework/gui/Icon.h"

namespace {

typedef HBITMAP(WINAPI *CreateDIBSectionFunction)(HDC, const BITMAPINFO *, UINT, void **, HANDLE, DWORD);

// What the library asked of CreateDIBSection during one test step.
struct SectionRequest {
  int calls = 0;
  BITMAPINFOHEADER header = {};
  std::vector<RGBQUAD> colors;  // the table that followed the header
  HBITMAP made = nullptr;
};
SectionRequest request;
CreateDIBSectionFunction realCreateDIBSection = nullptr;

HBITMAP WINAPI RecordingCreateDIBSection(HDC dc, const BITMAPINFO *info, UINT usage, void **bits, HANDLE section,
                                         DWORD offset) {
  ++request.calls;
  request.header = info->bmiHeader;
  int entries = info->bmiHeader.biBitCount <= 8 ? 1 << info->bmiHeader.biBitCount : 0;
  request.colors.assign(info->bmiColors, info->bmiColors + entries);
  // A section as large as 9999 x 9999 is not made: seeing the request is
  // enough.
  if (static_cast<long long>(info->bmiHeader.biWidth) * info->bmiHeader.biHeight > 4000 * 4000 ||
      static_cast<long long>(info->bmiHeader.biWidth) * info->bmiHeader.biHeight < -4000 * 4000)
    return nullptr;
  request.made = realCreateDIBSection(dc, info, usage, bits, section, offset);
  return request.made;
}

// The colour table of a section, read back from the platform.
std::vector<RGBQUAD> ColorTableOf(HBITMAP section) {
  HDC dc = ::CreateCompatibleDC(nullptr);
  HGDIOBJ previous = ::SelectObject(dc, section);
  RGBQUAD colors[256];
  UINT count = ::GetDIBColorTable(dc, 0, 256, colors);
  ::SelectObject(dc, previous);
  ::DeleteDC(dc);
  return std::vector<RGBQUAD>(colors, colors + count);
}

bool AllZero(const std::vector<RGBQUAD> &colors) {
  for (const RGBQUAD &color : colors)
    if (color.rgbBlue || color.rgbGreen || color.rgbRed || color.rgbReserved) return false;
  return true;
}

TEST(DIBSection, CreateChecksSizeAndBitCountBeforeAskingThePlatform) {
  struct Case {
    const char *name;
    int width, height;
    UINT bitCount;
    bool reachesPlatform;
    int colorTable;
  };
  const Case cases[] = {
      {"height 0", 0, 0, 24, false, 0},
      {"width 10000", 10000, 10, 24, false, 0},
      {"negative width", -1, 10, 24, false, 0},
      {"height -10000", 10, -10000, 24, false, 0},
      {"height 10000", 10, 10000, 24, false, 0},
      {"bit count 12", 10, 10, 12, false, 0},
      {"bit count 0", 10, 10, 0, false, 0},
      {"9999 x -9999 x 32, the largest top-down section", 9999, -9999, 32, true, 0},
      {"1 bit", 5, 5, 1, true, 2},
      {"4 bits", 5, 5, 4, true, 16},
      {"8 bits", 5, 5, 8, true, 256},
      {"15 bits", 5, 5, 15, true, 0},
      {"16 bits", 5, 5, 16, true, 0},
      {"24 bits, width 0", 0, 5, 24, true, 0},
  };
  ImportHook<CreateDIBSectionFunction> hook("gdi32.dll", "CreateDIBSection", &RecordingCreateDIBSection);
  ASSERT_TRUE(hook.Installed());
  realCreateDIBSection = hook.Original();
  for (const Case &c : cases) {
    SCOPED_TRACE(c.name);
    request = SectionRequest();
    CDIBSection section;
    BOOL created = section.Create(c.width, c.height, c.bitCount, nullptr);
    EXPECT_EQ(request.calls, c.reachesPlatform ? 1 : 0);
    EXPECT_EQ(created, request.made != nullptr);
    if (!created) {
      EXPECT_EQ(section.GetHandle(), nullptr);
    }
    if (!request.calls) continue;
    EXPECT_EQ(request.header.biSize, sizeof(BITMAPINFOHEADER));
    EXPECT_EQ(request.header.biWidth, c.width);
    EXPECT_EQ(request.header.biHeight, c.height);
    EXPECT_EQ(request.header.biPlanes, 1);
    EXPECT_EQ(request.header.biBitCount, c.bitCount);
    EXPECT_EQ(request.header.biCompression, static_cast<DWORD>(BI_RGB));
    EXPECT_EQ(request.header.biClrUsed, 0u);
    EXPECT_TRUE(AllZero(request.colors));
    if (created) {
      EXPECT_EQ(section.GetWidth(), c.width);
      EXPECT_EQ(section.GetHeight(), c.height);
      EXPECT_NE(section.GetBits(), nullptr);
      EXPECT_EQ(ColorTableOf(section.GetHandle()).size(), static_cast<size_t>(c.colorTable));
    }
  }
}

TEST(DIBSection, CreateWithColorsCopiesTheGivenTableAndRefusesOneTooLongForTheBitCount) {
  RGBQUAD colors[257] = {};
  for (int i = 0; i < 257; ++i) colors[i] = RGBQUAD{static_cast<BYTE>(i), 0x11, 0x22, 0};
  CDIBSection tooMany;
  EXPECT_FALSE(tooMany.CreateWithColors(4, 4, 8, 257, colors));
  EXPECT_FALSE(tooMany.CreateWithColors(4, 4, 1, 3, colors));

  CDIBSection section;
  ASSERT_TRUE(section.CreateWithColors(4, 4, 4, 16, colors));
  std::vector<RGBQUAD> table = ColorTableOf(section.GetHandle());
  ASSERT_EQ(table.size(), 16u);
  EXPECT_EQ(std::memcmp(table.data(), colors, 16 * sizeof(RGBQUAD)), 0);

  CDIBSection trueColour;
  EXPECT_TRUE(trueColour.CreateWithColors(4, 4, 32, 256, colors)) << "a table is ignored above 8 bits";
}

typedef int(WINAPI *GetObjectFunction)(HANDLE, int, void *);
int WINAPI FailingGetObject(HANDLE, int, void *) {
  return 0;
}

TEST(DIBSection, ASectionThatCannotBeTakenIsDeletedAndLeavesTheObjectUnchanged) {
  ImportHook<CreateDIBSectionFunction> recorder("gdi32.dll", "CreateDIBSection", &RecordingCreateDIBSection);
  realCreateDIBSection = recorder.Original();
  request = SectionRequest();
  CDIBSection section;
  {
    ImportHook<GetObjectFunction> failing("gdi32.dll", "GetObjectA", &FailingGetObject);
    ASSERT_TRUE(failing.Installed());
    EXPECT_FALSE(section.Create(8, 8, 24, nullptr));
  }
  ASSERT_NE(request.made, nullptr);
  EXPECT_FALSE(GdiObjectExists(request.made)) << "the section leaked";
  EXPECT_EQ(section.GetHandle(), nullptr);
  EXPECT_EQ(section.GetBits(), nullptr);
}

TEST(DIBSection, ReleaseForgetsThePixelMemoryOfTheSectionItDeleted) {
  CDIBSection section;
  ASSERT_TRUE(section.Create(8, -8, 32, nullptr));
  HBITMAP bitmap = section.GetHandle();
  ASSERT_NE(section.GetBits(), nullptr);
  section.Release();
  EXPECT_FALSE(GdiObjectExists(bitmap));
  EXPECT_EQ(section.GetBits(), nullptr);
  EXPECT_FALSE(section.IsValid());
}

TEST(Images, ABitmapFileLoadsWithItsSizeAndAPositiveHeightAndNoPixelPointer) {
  TemporaryFile file("tovra-gui-test.bmp");
  ASSERT_TRUE(file.Write(BmpFile(5, 3, 10, 20, 30)));

  CBitmap bitmap;
  ASSERT_TRUE(bitmap.LoadFile(file.Path()));
  EXPECT_EQ(bitmap.GetWidth(), 5);
  EXPECT_EQ(bitmap.GetHeight(), 3);

  CDIBSection section;
  ASSERT_TRUE(section.LoadFile(file.Path()));
  EXPECT_EQ(section.GetWidth(), 5);
  EXPECT_EQ(section.GetHeight(), 3);
  EXPECT_EQ(section.GetBits(), nullptr);
  BITMAPINFOHEADER header = {};
  ASSERT_TRUE(section.GetInfoHeader(&header));
  EXPECT_EQ(header.biBitCount, 24);

  CDIBSection topDown;
  ASSERT_TRUE(topDown.Create(6, -4, 24, nullptr));
  EXPECT_EQ(topDown.GetHeight(), -4);
  BITMAPINFO info = {};
  info.bmiHeader = {sizeof(BITMAPINFOHEADER), 3, -7, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
  CDIBSection fromInfo;
  EXPECT_FALSE(fromInfo.CreateFromInfo(nullptr, nullptr, DIB_RGB_COLORS, nullptr, 0));
  ASSERT_TRUE(fromInfo.CreateFromInfo(nullptr, &info, DIB_RGB_COLORS, nullptr, 0));
  EXPECT_EQ(fromInfo.GetHeight(), -7);
  EXPECT_NE(fromInfo.GetBits(), nullptr);

  CBitmap missing;
  EXPECT_FALSE(missing.LoadFile("C:\\no such directory\\none.bmp"));
  EXPECT_FALSE(missing.IsValid());
}

TEST(Images, AnythingButABitmapIsRefusedAndNothingIsDrawnFromIt) {
  HBITMAP deleted = ::CreateBitmap(4, 4, 1, 32, nullptr);
  ::DeleteObject(deleted);
  LOGFONTA logFont = {};
  logFont.lfHeight = 10;
  HFONT font = ::CreateFontIndirectA(&logFont);
  HBRUSH brush = ::CreateSolidBrush(RGB(1, 2, 3));
  HRGN region = ::CreateRectRgn(0, 0, 4, 4);
  struct Case {
    const char *name;
    HGDIOBJ object;
  };
  const Case cases[] = {{"null", nullptr}, {"deleted bitmap", deleted}, {"font", font}, {"brush", brush},
                        {"region", region}};
  HDC target = ::CreateCompatibleDC(nullptr);
  for (const Case &c : cases) {
    SCOPED_TRACE(c.name);
    HBITMAP object = static_cast<HBITMAP>(c.object);
    CBitmap bitmap;
    EXPECT_FALSE(bitmap.Attach(object));
    EXPECT_FALSE(bitmap.IsValid());
    EXPECT_FALSE(bitmap.Draw(target, 0, 0)) << "an empty CBitmap drew";
    CDIBSection section;
    EXPECT_FALSE(section.Attach(object));
    EXPECT_FALSE(BlitBitmap(target, object, 0, 0, 4, 4, 0, 0, SRCCOPY));
    BITMAPINFO header = {};
    EXPECT_FALSE(section.GetInfoHeader(&header.bmiHeader));
  }
  ::DeleteDC(target);
  ::DeleteObject(font);
  ::DeleteObject(brush);
  ::DeleteObject(region);
}

TEST(Images, ADeviceDependentBitmapIsNoSection) {
  HBITMAP bitmap = ::CreateBitmap(4, 4, 1, 32, nullptr);
  CDIBSection section;
  EXPECT_FALSE(section.Attach(bitmap));
  CBitmap plain;
  EXPECT_TRUE(plain.Attach(bitmap));
  EXPECT_EQ(plain.GetWidth(), 4);
}

TEST(Icons, TheSizeIsTheColourBitmapsOrForAMonochromeIconTheMaskWidthByHalfItsHeight) {
  struct Case {
    const char *name;
    int width, height;
    bool colour;
  };
  const Case cases[] = {{"colour 24 x 24", 24, 24, true},
                        {"colour 32 x 16", 32, 16, true},
                        {"monochrome 16 x 16", 16, 16, false},
                        {"monochrome 48 x 32", 48, 32, false}};
  HDC target = ::CreateCompatibleDC(nullptr);
  for (const Case &c : cases) {
    SCOPED_TRACE(c.name);
    HICON made = NewIcon(c.width, c.height, c.colour);
    ASSERT_NE(made, nullptr);
    CIcon icon;
    ASSERT_TRUE(icon.Attach(made));
    ICONINFO info = {};
    ASSERT_TRUE(icon.GetIconInfo(&info));
    EXPECT_EQ(info.hbmColor != nullptr, c.colour);
    ::DeleteObject(info.hbmColor);
    ::DeleteObject(info.hbmMask);
    EXPECT_EQ(icon.GetWidth(), c.width);
    EXPECT_EQ(icon.GetHeight(), c.height);
    EXPECT_TRUE(icon.Draw(target, 0, 0));
  }
  ::DeleteDC(target);

  CIcon empty;
  EXPECT_FALSE(empty.Attach(nullptr));
  EXPECT_FALSE(empty.Draw(nullptr, 0, 0));
  EXPECT_TRUE(empty.LoadSystemIcon(IDI_APPLICATION));
  EXPECT_GT(empty.GetWidth(), 0);
}

// One image class driven through its ownership operations.
struct ImageCase {
  const char *name;
  int width;  // of the image `make` makes
  std::function<void *()> make;
  std::function<bool(void *)> exists;
  std::function<std::unique_ptr<CGraphic>(void *)> hold;  // a new owning object, attached
  std::function<CGraphic *(void *)> wrap;
  std::function<void *(CGraphic &)> detach;
  std::function<void(void *)> destroy;
};

std::vector<ImageCase> AllImageClasses() {
  auto bitmapExists = [](void *image) { return GdiObjectExists(image); };
  auto deleteBitmap = [](void *image) { ::DeleteObject(image); };
  return {
      {"icon", 16, [] { return static_cast<void *>(NewIcon(16, 16, true)); },
       [](void *image) { return IconExists(static_cast<HICON>(image)); },
       [](void *image) {
         std::unique_ptr<CIcon> icon(new CIcon);
         EXPECT_TRUE(icon->Attach(static_cast<HICON>(image)));
         return std::unique_ptr<CGraphic>(std::move(icon));
       },
       [](void *image) { return static_cast<CGraphic *>(CIcon::Wrap(static_cast<HICON>(image))); },
       [](CGraphic &image) { return static_cast<void *>(static_cast<CIcon &>(image).Detach()); },
       [](void *image) { ::DestroyIcon(static_cast<HICON>(image)); }},
      {"bitmap", 8, [] { return static_cast<void *>(::CreateBitmap(8, 8, 1, 32, nullptr)); }, bitmapExists,
       [](void *image) {
         std::unique_ptr<CBitmap> bitmap(new CBitmap);
         EXPECT_TRUE(bitmap->Attach(static_cast<HBITMAP>(image)));
         return std::unique_ptr<CGraphic>(std::move(bitmap));
       },
       [](void *image) { return static_cast<CGraphic *>(CBitmap::Wrap(static_cast<HBITMAP>(image))); },
       [](CGraphic &image) { return static_cast<void *>(static_cast<CBitmap &>(image).Detach()); }, deleteBitmap},
      {"DIB section", 8,
       [] {
         CDIBSection maker;
         maker.Create(8, 8, 24, nullptr);
         return static_cast<void *>(maker.Detach());
       },
       bitmapExists,
       [](void *image) {
         std::unique_ptr<CDIBSection> section(new CDIBSection);
         EXPECT_TRUE(section->Attach(static_cast<HBITMAP>(image)));
         return std::unique_ptr<CGraphic>(std::move(section));
       },
       [](void *image) { return static_cast<CGraphic *>(CDIBSection::Wrap(static_cast<HBITMAP>(image))); },
       [](CGraphic &image) { return static_cast<void *>(static_cast<CBitmap &>(image).Detach()); }, deleteBitmap},
  };
}

TEST(Images, DestructionReleasesAnOwnedImageButNotADetachedOneNorOneWhoseOwnershipWasGivenUp) {
  for (const ImageCase &c : AllImageClasses()) {
    SCOPED_TRACE(c.name);
    void *image = c.make();
    ASSERT_TRUE(c.exists(image));
    c.hold(image).reset();
    EXPECT_FALSE(c.exists(image)) << "an owned image outlived its object";

    image = c.make();
    {
      std::unique_ptr<CGraphic> holder = c.hold(image);
      EXPECT_EQ(c.detach(*holder), image);
      EXPECT_FALSE(holder->IsValid());
      EXPECT_EQ(holder->GetWidth(), 0);
      EXPECT_EQ(holder->GetHeight(), 0);
    }
    EXPECT_TRUE(c.exists(image)) << "a detached image was released";

    {
      std::unique_ptr<CGraphic> holder = c.hold(image);
      holder->SetOwnership(false);
    }
    EXPECT_TRUE(c.exists(image)) << "an image not owned was released";

    {
      std::unique_ptr<CGraphic> holder = c.hold(image);
      holder->SetOwnership(false);
      holder->Release();
      EXPECT_FALSE(holder->IsValid());
    }
    EXPECT_FALSE(c.exists(image)) << "Release left the image";
  }
}

TEST(Images, AWrappedImageIsATemporaryThatThePurgeDeletesWithoutReleasingTheImage) {
  EXPECT_EQ(CIcon::Wrap(nullptr), nullptr);
  EXPECT_EQ(CBitmap::Wrap(nullptr), nullptr);
  EXPECT_EQ(CDIBSection::Wrap(nullptr), nullptr);
  for (const ImageCase &c : AllImageClasses()) {
    SCOPED_TRACE(c.name);
    void *image = c.make();
    CGraphic *first = c.wrap(image);
    CGraphic *second = c.wrap(image);
    ASSERT_NE(first, nullptr);
    EXPECT_NE(first, second);
    EXPECT_TRUE(first->IsValid());
    EXPECT_EQ(first->GetWidth(), c.width);
    EXPECT_FALSE(first->OwnsHandle());
    PurgeTemporaryObjects();
    EXPECT_TRUE(c.exists(image)) << "the purge released a wrapped image";
    c.destroy(image);
  }
}

TEST(Bitmaps, DrawCopiesTheWholeBitmapAndDrawPartOnlyTheGivenRectangle) {
  CDIBSection source;
  ASSERT_TRUE(source.Create(2, -2, 32, nullptr));
  DWORD *pixels = static_cast<DWORD *>(source.GetBits());
  pixels[0] = 0x00112233;
  pixels[1] = 0x00445566;
  pixels[2] = 0x00778899;
  pixels[3] = 0x00AABBCC;
  ::GdiFlush();

  CDIBSection target;
  ASSERT_TRUE(target.Create(4, -4, 32, nullptr));
  HDC dc = ::CreateCompatibleDC(nullptr);
  HGDIOBJ previous = ::SelectObject(dc, target.GetHandle());
  EXPECT_TRUE(source.Draw(dc, 1, 1));
  EXPECT_TRUE(source.DrawPart(dc, 3, 0, 1, 1, 1, 1));
  ::GdiFlush();
  const DWORD *out = static_cast<const DWORD *>(target.GetBits());
  EXPECT_EQ(out[1 * 4 + 1], 0x00112233u);
  EXPECT_EQ(out[2 * 4 + 2], 0x00AABBCCu);
  EXPECT_EQ(out[0 * 4 + 3], 0x00AABBCCu);
  EXPECT_EQ(out[0], 0u);

  // A bitmap selected into a DC cannot be selected into the blit's own.
  EXPECT_FALSE(BlitBitmap(dc, target.GetHandle(), 0, 0, 1, 1, 0, 0, SRCCOPY));
  ::SelectObject(dc, previous);
  ::DeleteDC(dc);
}

TEST(Bitmaps, ResourceLoadsFindThePictureInTheResourceModuleAndAMappedLoadReplacesTheGreys) {
  TestResourceModule resources;
  ASSERT_NE(resources.Get(), nullptr);
  const COLORREF red = RGB(255, 0, 0), blue = RGB(0, 0, 255);
  struct Case {
    const char *name;
    std::function<BOOL(CBitmap &)> load;
    COLORREF pixels[6];  // top row, then bottom row
  } cases[] = {
      {"by identifier", [](CBitmap &b) { return b.LoadResourceId(TEST_PICTURE_ID); },
       {red, RGB(192, 192, 192), RGB(128, 128, 128), blue, RGB(255, 255, 255), RGB(0, 0, 0)}},
      {"mapped", [](CBitmap &b) { return b.LoadMapped(TEST_PICTURE_ID); },
       {red, ::GetSysColor(COLOR_BTNFACE), ::GetSysColor(COLOR_BTNSHADOW), blue, ::GetSysColor(COLOR_BTNHIGHLIGHT),
        ::GetSysColor(COLOR_BTNTEXT)}},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.name);
    CBitmap bitmap;
    ASSERT_TRUE(c.load(bitmap));
    EXPECT_EQ(bitmap.GetWidth(), 3);
    EXPECT_EQ(bitmap.GetHeight(), 2);
    HDC dc = ::CreateCompatibleDC(nullptr);
    HGDIOBJ old = ::SelectObject(dc, bitmap.GetHandle());
    for (int i = 0; i < 6; ++i) EXPECT_EQ(::GetPixel(dc, i % 3, i / 3), c.pixels[i]) << "pixel " << i;
    ::SelectObject(dc, old);
    ::DeleteDC(dc);
  }
  CBitmap missing;
  EXPECT_FALSE(missing.LoadResourceId(TEST_PICTURE_ID + 1));
  EXPECT_FALSE(missing.LoadMapped(TEST_PICTURE_ID + 1));
}

}  // namespace
