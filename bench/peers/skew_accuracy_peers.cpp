// Skew estimation on real scanned pages beside Leptonica's pixFindSkewSweepAndSearch.
//
// Pages: page.png and text.png of python3-skimage (small grey scans with uneven light) tiled
// three times enlarged into A4 pages at 300 dpi, and the eight CCITT fax pages of
// jbigkit-testdata (1728 x 2376, about A4 at 200 dpi; grey copies lit unevenly with noise
// after turning). Each is turned with the library's own rotation by 24 known angles from -14.5
// to +14.5 degrees, as a grey page and as a bi-level one (the grey A4 pages thresholded by
// Niblack). Pages without lines: blank paper (grey with uneven light and noise, bi-level with
// specks), synthetic photographs and a page of one large picture, at several angles.
//
// Truth: the applied angle plus the source's own skew, which the peer measures at full
// resolution with a fine search (its binarisation for grey pages, see PeerBinary) on the
// source turned by a few angles (see Reference). Errors: untrusted answers count as 0 (a page of
// lines that is not trusted costs its whole angle); pages without lines are counted apart, by how
// many were trusted. Bias and spread are the mean and the standard deviation of the trusted
// answers' signed errors: a bias shared by both estimators with little spread points at the
// reference. The peer searches the same +-15 degrees (sweep at 4x reduction, search at 2x, as its
// default pixFindSkew does over +-7) and is trusted at confidence 3 or more, where its own
// deskew applies the angle; on grey pages it first normalises the background and thresholds
// at 130. Times are per call of each estimator on the page as it is (the peer's includes its
// binarisation), with the cores the machine has.
#include <leptonica/allheaders.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <numbers>
#include <string>
#include <thread>
#include <vector>

#include "bench/peers/peer_timing.h"
#include "tests/support/skew_pages.h"
#include "vorlane/vorlane.h"

namespace {

namespace fs = std::filesystem;
using namespace vorlane::bench::peers;
using skewpages::Pixels;

constexpr int kAngles = 24;
double AngleAt(int i) { return -14.5 + 29.0 * i / (kAngles - 1); }
constexpr int kA4Width = 2480, kA4Height = 3508;
constexpr double kPeerRange = 15.0, kPeerTrust = 3.0;

// Images whose rows the benchmark reads and writes.
struct GreyPage : CGreyScaleImage {
  unsigned char* Row(int y) { return m_ppLines[y]; }
};
struct BiPage : CBiLevelImage {
  unsigned char* Row(int y) { return m_ppLines[y]; }
};

template <class Page>
std::unique_ptr<Page> PageOf(const Pixels& pixels) {
  auto page = std::make_unique<Page>();
  if (!page->Create(pixels.width, pixels.height, 0x00FFFFFF, L"page")) std::abort();
  for (int y = 0; y < pixels.height; ++y)
    std::copy_n(pixels.bytes.data() + static_cast<size_t>(y) * pixels.width, pixels.width,
                page->Row(y));
  return page;
}

template <class Page>
Pixels FromImage(Page& page) {
  Pixels out{page.GetWidth(), page.GetHeight(), {}};
  out.bytes.resize(static_cast<size_t>(out.width) * out.height);
  for (int y = 0; y < out.height; ++y) std::copy_n(page.Row(y), out.width, out.Row(y));
  return out;
}

// Grey pixels (or bi-level ones, 1 paper) as a pix: 8 bpp grey, or 1 bpp with 1 for ink.
PIX* ToPix(const Pixels& p, bool bilevel) {
  PIX* pix = pixCreate(p.width, p.height, bilevel ? 1 : 8);
  l_uint32* data = pixGetData(pix);
  const int wpl = pixGetWpl(pix);
  for (int y = 0; y < p.height; ++y) {
    const unsigned char* row = p.bytes.data() + static_cast<size_t>(y) * p.width;
    l_uint32* line = data + static_cast<size_t>(y) * wpl;
    for (int x = 0; x < p.width; ++x) {
      if (bilevel) {
        if (row[x] == 0) SET_DATA_BIT(line, x);
      } else {
        SET_DATA_BYTE(line, x, row[x]);
      }
    }
  }
  return pix;
}

Pixels FromPix(PIX* pix) {
  PIX* grey = pixConvertTo8(pix, 0);
  Pixels out{pixGetWidth(grey), pixGetHeight(grey), {}};
  out.bytes.resize(static_cast<size_t>(out.width) * out.height);
  for (int y = 0; y < out.height; ++y)
    for (int x = 0; x < out.width; ++x) {
      l_uint32 v = 0;
      pixGetPixel(grey, x, y, &v);
      out.Row(y)[x] = static_cast<unsigned char>(v);
    }
  pixDestroy(&grey);
  return out;
}

// The peer's 1 bpp page: bi-level as it is, grey normalised to its background first.
PIX* PeerBinary(PIX* pix) {
  if (pixGetDepth(pix) == 1) return pixClone(pix);
  PIX* norm = pixBackgroundNormSimple(pix, nullptr, nullptr);
  PIX* binary = pixConvertTo1(norm, 130);
  pixDestroy(&norm);
  return binary;
}

struct Answer {
  double angle = 0.0;
  bool trusted = false;
  double ms = 0.0;
  double confidence = 0.0;
  const char* reason = "";
};

double MsSince(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
      .count();
}

Answer Peer(PIX* pix) {
  const auto start = std::chrono::steady_clock::now();
  PIX* binary = PeerBinary(pix);
  l_float32 angle = 0.0f, conf = 0.0f;
  const bool ok =
      pixFindSkewSweepAndSearch(binary, &angle, &conf, 4, 2, kPeerRange, 1.0f, 0.01f) == 0 &&
      conf >= kPeerTrust;
  pixDestroy(&binary);
  return {ok ? static_cast<double>(angle) : 0.0, ok, MsSince(start), conf, ok ? "" : "low"};
}

Answer Ours(const CImage& page) {
  const auto start = std::chrono::steady_clock::now();
  const vorlane::SkewEstimate e = vorlane::EstimateSkew(page);
  const double ms = MsSince(start);
  return {e.angleDegrees, e.trusted, ms, e.confidence, vorlane::SkewReasonText(e.reason)};
}

// The peer at full resolution with fine steps.
double FineEstimate(PIX* pix) {
  PIX* binary = PeerBinary(pix);
  l_float32 angle = 0.0f, conf = 0.0f;
  pixFindSkewSweepAndSearch(binary, &angle, &conf, 1, 1, kPeerRange, 0.5f, 0.005f);
  pixDestroy(&binary);
  return angle;
}

// Trusted answers off by more than 0.2 degrees, and untrusted ones, noted for the list printed
// after the table.
std::vector<std::string> notes;
void Note(const std::string& set, const char* who, double applied, double truth, const Answer& a) {
  if (a.trusted && std::fabs(a.angle - truth) <= 0.2) return;
  char line[200];
  std::snprintf(line, sizeof line,
                "  %-18s %-13s turned %6.2f truth %7.3f answer %7.3f %s (%.2f) %s", set.c_str(),
                who, applied, truth, a.angle, a.trusted ? "trusted" : "untrusted", a.confidence,
                a.reason);
  notes.push_back(line);
}

// Errors of one estimator over a set of pages.
struct Tally {
  std::vector<double> errors;
  std::vector<double> signedTrusted;  // answer minus truth, trusted answers only
  double worstTrusted = 0.0, ms = 0.0;
  int untrusted = 0, trusted = 0;
  void Add(const Answer& a, double truth) {
    const double error = std::fabs(a.angle - truth);
    errors.push_back(error);
    if (a.trusted) {
      worstTrusted = std::max(worstTrusted, error);
      signedTrusted.push_back(a.angle - truth);
    }
    untrusted += !a.trusted;
    trusted += a.trusted;
    ms += a.ms;
  }
  void Add(const Tally& t) {
    errors.insert(errors.end(), t.errors.begin(), t.errors.end());
    signedTrusted.insert(signedTrusted.end(), t.signedTrusted.begin(), t.signedTrusted.end());
    worstTrusted = std::max(worstTrusted, t.worstTrusted);
    ms += t.ms;
    untrusted += t.untrusted;
    trusted += t.trusted;
  }
  void Print(const std::string& set, const char* who) const {
    std::vector<double> e = errors;
    std::sort(e.begin(), e.end());
    double sum = 0.0, top = 0.0;
    int within = 0;
    const size_t best = (e.size() * 8 + 9) / 10;
    for (size_t i = 0; i < e.size(); ++i) {
      sum += e[i];
      if (i < best) top += e[i];
      within += e[i] <= 0.1;
    }
    const double n = static_cast<double>(e.size());
    // Bias and spread of the trusted answers: a bias with little spread is an estimator that
    // agrees with itself across the turns and differs from the reference by a constant.
    double bias = 0.0, spread = 0.0;
    for (double d : signedTrusted) bias += d;
    if (!signedTrusted.empty()) bias /= static_cast<double>(signedTrusted.size());
    for (double d : signedTrusted) spread += (d - bias) * (d - bias);
    if (!signedTrusted.empty())
      spread = std::sqrt(spread / static_cast<double>(signedTrusted.size()));
    std::printf("%-22s %-13s %5zu %8.4f %8.4f %7.1f%% %9.4f %9d %+8.4f %7.4f %8.1f\n", set.c_str(),
                who, e.size(), sum / n, top / static_cast<double>(best), 100.0 * within / n,
                worstTrusted, untrusted, bias, spread, ms / n);
  }
};

struct Source {
  std::string name;
  Pixels grey;      // the unturned grey page
  Pixels bilevel;   // the unturned bi-level page (1 paper, 0 ink)
  bool lightAfter;  // grey copies are lit after turning (the faxes), else lit in the scan
  unsigned char paper;
  double base = 0.0;
  bool established = false;  // the reference's estimates over the turns agree closely
};

// A grey scan tiled into an A4 page at 300 dpi: enlarged by scale, in rows of as many tiles
// as fit, on paper of the scan's own brightest tenth.
Pixels TiledA4(const Pixels& scan, double scale, unsigned char& paper) {
  std::vector<unsigned char> sorted = scan.bytes;
  std::sort(sorted.begin(), sorted.end());
  paper = sorted[sorted.size() * 9 / 10];
  auto tile = PageOf<GreyPage>(scan);
  const int tw = static_cast<int>(scan.width * scale), th = static_cast<int>(scan.height * scale);
  tile->ReSample(tw, th, 300);
  const Pixels t = FromImage(*tile);
  Pixels page = skewpages::Paper(kA4Width, kA4Height, paper);
  const int across = kA4Width / (tw + 20), down = kA4Height / (th + 12);
  const int x0 = (kA4Width - across * (tw + 20) + 20) / 2,
            y0 = (kA4Height - down * (th + 12) + 12) / 2;
  for (int j = 0; j < down; ++j)
    for (int i = 0; i < across; ++i)
      for (int y = 0; y < t.height; ++y)
        std::copy_n(t.bytes.data() + static_cast<size_t>(y) * t.width, t.width,
                    page.Row(y0 + j * (th + 12) + y) + x0 + i * (tw + 20));
  return page;
}

Pixels Niblack(const Pixels& grey) {
  auto g = PageOf<GreyPage>(grey);
  BiPage bi;
  bi.Create(grey.width, grey.height, 0x00FFFFFF, L"bi");
  CRect whole(-1, -1, -1, -1);
  g->Threshold_Niblack(15, whole, &bi, 0x3);
  return FromImage(bi);
}

// The page turned counter-clockwise by degrees with the library's rotation, keeping its size.
template <class Page>
std::unique_ptr<Page> Turned(const Pixels& pixels, double degrees, unsigned char paper) {
  auto page = PageOf<Page>(pixels);
  page->Rotate(-degrees * std::numbers::pi / 180.0, RGB(paper, paper, paper), 1);
  return page;
}

bool Run(const char* command) { return std::system(command) == 0; }

// The reference skew of a source: the median, over the source turned by each of
// kReferenceTurns, of the peer's fine estimate less the turn. On the unturned raster the
// strokes lie exactly along the rows and every profile's score has a narrow spike where no
// strip moves, which pulls an estimate of that page towards 0; turned and resampled, the page
// shows its lines alone. lowest and highest receive the extremes of those estimates.
constexpr double kReferenceTurns[] = {-6.0, -4.0, -2.0, 2.0, 4.0, 6.0};
// A source's reference is established when its estimates over the turns lie within this many
// degrees: not so for a page without lines of text, which the totals show apart.
constexpr double kEstablished = 0.1;
double Reference(const Pixels& grey, unsigned char paper, double& lowest, double& highest) {
  std::vector<double> found;
  for (const double turn : kReferenceTurns) {
    PIX* pix = ToPix(FromImage(*Turned<GreyPage>(grey, turn, paper)), false);
    found.push_back(FineEstimate(pix) - turn);
    pixDestroy(&pix);
  }
  std::sort(found.begin(), found.end());
  lowest = found.front();
  highest = found.back();
  const size_t n = found.size();
  return n % 2 ? found[n / 2] : (found[n / 2 - 1] + found[n / 2]) / 2.0;
}

}  // namespace

int main() {
  setMsgSeverity(L_SEVERITY_ERROR);
  const fs::path skimage = "/usr/lib/python3/dist-packages/skimage/data";
  const fs::path faxes = "/usr/share/jbigkit-testdata";
  if (!fs::exists(skimage / "page.png") || !fs::exists(faxes / "ccitt1.jbg")) {
    std::printf(
        "skew accuracy: needs python3-skimage, jbigkit-testdata and jbigkit-bin "
        "(bench/install-peers.sh)\n");
    return 1;
  }
  const fs::path scratch = fs::temp_directory_path() / "vorlane-skew-pages";
  fs::create_directories(scratch);

  std::vector<Source> sources;
  for (const char* name : {"page.png", "text.png"}) {
    PIX* pix = pixRead((skimage / name).c_str());
    Source s{name, {}, {}, false, 255};
    s.grey = TiledA4(FromPix(pix), 3.0, s.paper);
    s.bilevel = Niblack(s.grey);
    pixDestroy(&pix);
    sources.push_back(std::move(s));
  }
  for (int i = 1; i <= 8; ++i) {
    const std::string name = "ccitt" + std::to_string(i);
    const fs::path pbm = scratch / (name + ".pbm");
    const std::string command =
        "jbgtopbm " + (faxes / (name + ".jbg")).string() + " " + pbm.string();
    if (!Run(command.c_str())) return 1;
    PIX* pix = pixRead(pbm.c_str());
    Source s{name, {}, {}, true, 235};
    s.bilevel = FromPix(pix);  // 255 paper, 0 ink
    for (unsigned char& b : s.bilevel.bytes) b = b ? 1 : 0;
    s.grey = skewpages::Grey(s.bilevel, 30, 235);
    pixDestroy(&pix);
    sources.push_back(std::move(s));
  }
  // Beside the reference: the peer's fine estimate of the unturned page, and both estimators
  // on the unturned page as they run on the turned ones.
  std::printf(
      "Reference skew of the sources (peer, full resolution, 0.005 steps, median over the\n"
      "source turned by +-2, 4, 6 degrees, with their range), the same peer search on the\n"
      "unturned page, and both estimators on the unturned page as on the turned ones:\n");
  std::printf("  %-10s %13s %9s %17s %9s %13s %13s\n", "source", "size", "reference", "range",
              "unturned", "pixFindSkew", "EstimateSkew");
  for (Source& s : sources) {
    double lowest = 0.0, highest = 0.0;
    s.base = Reference(s.grey, s.paper, lowest, highest);
    s.established = highest - lowest <= kEstablished;
    PIX* pix = ToPix(s.grey, false);
    const double unturned = FineEstimate(pix);
    const Answer theirs = Peer(pix);
    pixDestroy(&pix);
    const Answer mine = Ours(*PageOf<GreyPage>(s.grey));
    std::printf("  %-10s %5d x %-5d %9.3f %8.3f..%-7.3f %9.3f %8.3f %-4s %8.3f %-4s\n",
                s.name.c_str(), s.grey.width, s.grey.height, s.base, lowest, highest, unturned,
                theirs.angle, theirs.trusted ? "" : "(u)", mine.angle, mine.trusted ? "" : "(u)");
  }

  std::printf("\n%-22s %-13s %5s %8s %8s %8s %9s %9s %8s %7s %8s\n", "pages", "estimator", "n",
              "AED", "TOP80", "CE", "worst tr.", "untrusted", "bias", "spread", "ms/page");
  Tally allOurs[2], allPeer[2];  // grey, bi-level
  Tally establishedOurs, establishedPeer;
  // One page of a source turned by applied, as a grey (form 0) or bi-level page, estimated by
  // both; grey faxes are lit unevenly after the turn with noise of the given seed.
  const auto evaluate = [](const Source& s, int form, double applied, int seed, Tally& ours,
                           Tally& peer) {
    const double truth = s.base + applied;
    Pixels pixels;
    if (form == 0) {
      auto page = Turned<GreyPage>(s.grey, applied, s.paper);
      pixels = FromImage(*page);
      if (s.lightAfter) skewpages::Light(pixels, 0.45, 10.0, 100 + seed);
    } else {
      pixels = FromImage(*Turned<BiPage>(s.bilevel, applied, 1));
    }
    const std::string set = s.name + (form == 0 ? " grey" : " bi-level");
    PIX* pix = ToPix(pixels, form == 1);
    const Answer mine = form == 0 ? Ours(*PageOf<GreyPage>(pixels)) : Ours(*PageOf<BiPage>(pixels));
    const Answer theirs = Peer(pix);
    Note(set, "EstimateSkew", applied, truth, mine);
    Note(set, "pixFindSkew", applied, truth, theirs);
    ours.Add(mine, truth);
    peer.Add(theirs, truth);
    pixDestroy(&pix);
  };
  for (const Source& s : sources) {
    for (int form = 0; form < 2; ++form) {
      Tally ours, peer;
      for (int i = 0; i < kAngles; ++i) evaluate(s, form, AngleAt(i), i, ours, peer);
      const std::string set = s.name + (form == 0 ? " grey" : " bi-level");
      ours.Print(set, "EstimateSkew");
      peer.Print(set, "pixFindSkew");
      allOurs[form].Add(ours);
      allPeer[form].Add(peer);
      if (s.established) {
        establishedOurs.Add(ours);
        establishedPeer.Add(peer);
      }
    }
  }
  for (int form = 0; form < 2; ++form) {
    const char* set = form == 0 ? "all grey" : "all bi-level";
    allOurs[form].Print(set, "EstimateSkew");
    allPeer[form].Print(set, "pixFindSkew");
  }
  Tally total, totalPeer;
  total.Add(allOurs[0]);
  total.Add(allOurs[1]);
  totalPeer.Add(allPeer[0]);
  totalPeer.Add(allPeer[1]);
  total.Print("all pages with lines", "EstimateSkew");
  totalPeer.Print("all pages with lines", "pixFindSkew");
  establishedOurs.Print("established reference", "EstimateSkew");
  establishedPeer.Print("established reference", "pixFindSkew");

  // Most scans are turned by less than a degree, where the raster's own rows show through:
  // the sources with an established reference, unturned and turned a little.
  std::printf("\nSmall turns (0, +-0.25, +-0.5, +-1 degrees), grey and bi-level:\n");
  Tally smallOurs, smallPeer;
  for (const Source& s : sources) {
    if (!s.established) continue;
    Tally ours, peer;
    int seed = 0;
    for (int form = 0; form < 2; ++form)
      for (const double applied : {-1.0, -0.5, -0.25, 0.0, 0.25, 0.5, 1.0})
        evaluate(s, form, applied, seed++, ours, peer);
    ours.Print(s.name, "EstimateSkew");
    peer.Print(s.name, "pixFindSkew");
    smallOurs.Add(ours);
    smallPeer.Add(peer);
  }
  smallOurs.Print("small turns", "EstimateSkew");
  smallPeer.Print("small turns", "pixFindSkew");

  // Pages without lines: none may be trusted.
  std::printf("\n%-26s %5s %14s %14s\n", "pages without lines", "n", "EstimateSkew", "pixFindSkew");
  const auto without = [](const char* name, const std::vector<Pixels>& pages, bool bilevel) {
    int ours = 0, peer = 0;
    for (const Pixels& p : pages) {
      const Answer mine = bilevel ? Ours(*PageOf<BiPage>(p)) : Ours(*PageOf<GreyPage>(p));
      if (mine.trusted) Note(name, "EstimateSkew", 0.0, 1e9, mine);
      ours += mine.trusted;
      PIX* pix = ToPix(p, bilevel);
      peer += Peer(pix).trusted;
      pixDestroy(&pix);
    }
    std::printf("%-26s %5zu %8d trusted %6d trusted\n", name, pages.size(), ours, peer);
  };
  std::vector<Pixels> blankGrey, blankBi, photos, pictures, picturesBi;
  for (int i = 0; i < 6; ++i) {
    Pixels paper = skewpages::Paper(kA4Width, kA4Height, static_cast<unsigned char>(215 + 6 * i));
    skewpages::Light(paper, 0.4 + 0.08 * i, 6.0 + 2 * i, 500 + i);
    blankGrey.push_back(std::move(paper));
    Pixels specks = skewpages::Paper(kA4Width, kA4Height, 1);
    skewpages::Random rnd(600 + i);
    for (int k = 0; k < 300 * (i + 1); ++k) {
      const int x = static_cast<int>(rnd() % (kA4Width - 2)),
                y = static_cast<int>(rnd() % (kA4Height - 2));
      const int size = 1 + static_cast<int>(rnd() % 3);
      for (int dy = 0; dy < size; ++dy)
        for (int dx = 0; dx < size; ++dx) specks.Row(y + dy)[x + dx] = 0;
    }
    blankBi.push_back(std::move(specks));
    Pixels photo = skewpages::Paper(kA4Width, kA4Height, 200);
    skewpages::Photo(photo, 0, 0, kA4Width, kA4Height, 700 + i);
    photos.push_back(std::move(photo));
    Pixels picture = skewpages::Paper(kA4Width, kA4Height, 230);
    skewpages::Photo(picture, 300, 420, kA4Width - 300, kA4Height - 420, 800 + i);
    const double angle = AngleAt(4 * i + 1);
    pictures.push_back(FromImage(*Turned<GreyPage>(picture, angle, 230)));
    skewpages::Light(pictures.back(), 0.6, 6.0, 900 + i);
    picturesBi.push_back(Niblack(pictures.back()));
  }
  without("blank grey paper", blankGrey, false);
  without("blank bi-level specks", blankBi, true);
  without("photographs (grey)", photos, false);
  without("one large picture, grey", pictures, false);
  without("one large picture, bi", picturesBi, true);

  std::printf("\nPages not trusted, or trusted and off by more than 0.2 degrees:\n");
  for (const std::string& line : notes) std::printf("%s\n", line.c_str());

  // Time on the A4 grey page at 300 dpi, side by side.
  const Source& a4 = sources[0];
  auto page = Turned<GreyPage>(a4.grey, 2.3, a4.paper);
  const Pixels pixels = FromImage(*page);
  PIX* pix = ToPix(pixels, false);
  std::printf("\nTimes in ms on the %s A4 grey page (%d x %d) turned by 2.3 degrees, %u cores:\n",
              a4.name.c_str(), pixels.width, pixels.height, std::thread::hardware_concurrency());
  PrintHeader("");
  const Figures mine = MeasureMaking(
      "EstimateSkew grey A4", kRepetitions, [&] { vorlane::EstimateSkew(*page); }, [] {});
  const Figures theirs = MeasureMaking(
      "pixBackgroundNorm+pixFindSkew grey A4", kRepetitions, [&] { Peer(pix); }, [] {});
  Print(mine);
  Print(theirs);
  Ratio(mine, theirs, 0.0);
  pixDestroy(&pix);
  return 0;
}
