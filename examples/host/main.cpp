// A minimal host: creates a page by class name, draws into it and reports what it holds.
#include <vorlane/vorlane.h>

#include <cstdio>
#include <memory>

int main() {
  vorlane::SetTraceSink([](const char* line) { std::fputs(line, stdout); });
  std::unique_ptr<CObject> object(CRuntimeClass::FromName("CHiColorImage")->CreateObject());
  auto* page = dynamic_cast<CHiColorImage*>(object.get());
  if (!page || !page->Create(640, 480, RGB(255, 255, 255), L"page")) return 1;
  page->SetRGBColor(10, 20, RGB(200, 30, 40));
  CImageMap* map = page->GetImageMap(0);
  map->MapByteAddAttribute(0, 0, map->GetPTByteLabel(L"Background"));
  std::printf("%dx%d, %d map(s), pixel 0x%06lx, background at (0,0): %d\n", page->GetWidth(),
              page->GetHeight(), page->GetImageMapCount(), page->GetRGBColor(10, 20),
              page->IsBackground(0, 0));
  return page->GetRGBColor(10, 20) == RGB(200, 30, 40) ? 0 : 1;
}
