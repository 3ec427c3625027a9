// Row kernel of the sRGB to Lab conversion of high-colour pixels, vectorised where the
// processor allows, and the Lab planes of a whole image's rows handed out in row order,
// converted ahead on a second thread for large images.
#pragma once

#include <atomic>
#include <thread>
#include <vector>

namespace vorlane::detail {

// Writes to L[x], a[x] and b[x], for each of count pixels of bgrx (4 bytes each: blue, green,
// red, unused), the Lab colour of the pixel: bit for bit what TT_sRGB2sLab gives for the
// channel bytes as floats. count >= 0.
void LabRow(const unsigned char* bgrx, int count, float* L, float* a, float* b);

// The Lab planes (LabRow) of rows[0..height) of width pixels, asked for in row order. When
// the pixel-thread setting gives a page pass more than one band, a second thread converts
// blocks of rows ahead of the caller into a ring of a few blocks; otherwise each row is
// converted when asked for. Requires width, height >= 1.
class LabRowsAhead {
 public:
  struct Planes {
    const float* L;
    const float* a;
    const float* b;
  };

  LabRowsAhead(const unsigned char* const* rows, int width, int height);
  ~LabRowsAhead();
  LabRowsAhead(const LabRowsAhead&) = delete;
  LabRowsAhead& operator=(const LabRowsAhead&) = delete;

  // The planes of row y, for y = 0, 1, ... in turn; valid until the next call.
  Planes Row(int y);

 private:
  static constexpr int kBlockRows = 16;
  static constexpr int kSlots = 4;

  // Converts row y into row `slotRow` of the store.
  void Convert(int y, int slotRow);
  // The worker: every block in turn, each once its slot is free.
  void Work();

  const unsigned char* const* m_rows;
  int m_width;
  int m_height;
  int m_current = 0;               // the caller's block
  std::vector<float> m_store;      // rows of three planes, one after another
  std::atomic<int> m_produced{0};  // blocks converted
  std::atomic<int> m_consumed{0};  // blocks the caller is done with
  std::atomic<bool> m_stop{false};
  std::jthread m_worker;  // last: started once the rest is ready
};

}  // namespace vorlane::detail
