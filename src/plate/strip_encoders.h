// The compressed forms' strips, encoded side by side: each strip is handed
// to a lane of its own while the rows of the next ones arrive, and stored,
// in the order the strips came, once it is encoded. Several plates written
// at once (panels) share one set of lanes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "plate/output_form.h"

namespace plivora {

// Encodes `rows` rows of `width` pixels of `samples` 8-bit samples (4:
// CMYK, 3: RGB; interleaved) as one TIFF strip with libtiff's codec for
// `compression`; returns where the strip's bytes lie in `work`, which holds
// them afterwards.
struct EncodedStrip {
  const uint8_t* data = nullptr;
  size_t size = 0;
};
EncodedStrip EncodeStrip(Compression compression, int64_t width, uint32_t rows, int samples, const uint8_t* raw,
                         std::vector<uint8_t>& work);

class StripEncoders {
 public:
  using Store = std::function<void(const EncodedStrip&)>;

  explicit StripEncoders(unsigned lanes);
  ~StripEncoders();
  StripEncoders(const StripEncoders&) = delete;
  StripEncoders& operator=(const StripEncoders&) = delete;

  // Takes the strip in `raw` (its buffer is swapped for a spent one) and
  // encodes it on a lane; `store` is called with the encoded bytes on the
  // caller's thread, by a later Submit or by Flush, after the stores of
  // every strip submitted before. Raises an earlier strip's encoding or
  // storing error.
  void Submit(std::vector<uint8_t>& raw, Compression compression, int64_t width, uint32_t rows, int samples,
              Store store);
  // Stores every strip submitted.
  void Flush();

 private:
  struct Slot;
  void StoreOldest();

  std::vector<std::unique_ptr<Slot>> slots_;
  size_t next_ = 0, pending_ = 0;
};

}  // namespace plivora
