#include "series/view_set.h"

#include <sys/stat.h>

#include <new>

#include "common/file_names.h"
#include "series/source_file.h"
#include "series/view_error.h"

namespace plivora {

void ViewSet::Add(const QString& path) {
  auto file = std::make_unique<SourceFile>(path);
  for (const File& f : files_)
    if (f.device == file->device() && f.inode == file->inode()) {
      listings_.push_back(f.reader.get());
      return;
    }
  const uint64_t device = file->device(), inode = file->inode();
  files_.push_back({device, inode, OpenSource(std::move(file), &budget_, false)});
  listings_.push_back(files_.back().reader.get());
}

void ViewSet::Start() {
  for (File& f : files_) {
    try {
      f.reader->Start();
    } catch (const std::bad_alloc&) {
      FailView(f.reader->image().Path, QStringLiteral("there is not enough memory to decode it"));
    }
  }
}

void ViewSet::WrapFileReader(size_t file,
                             const std::function<std::unique_ptr<SourceReader>(std::unique_ptr<SourceReader>)>& wrap) {
  SourceReader* before = files_[file].reader.get();
  files_[file].reader = wrap(std::move(files_[file].reader));
  for (SourceReader*& listing : listings_)
    if (listing == before) listing = files_[file].reader.get();
}

void ViewSet::ReplaceListings(std::vector<std::unique_ptr<SourceReader>> readers, const std::vector<size_t>& of) {
  for (size_t i = 0; i < listings_.size() && i < of.size(); ++i) listings_[i] = readers.at(of[i]).get();
  for (auto& reader : readers) replaced_.push_back(std::move(reader));
}

}  // namespace plivora
