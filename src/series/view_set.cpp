#include "series/view_set.h"

#include <sys/stat.h>

#include <new>

#include "common/file_names.h"
#include "series/read_ahead.h"
#include "series/source_file.h"
#include "series/view_error.h"

namespace plivora {

void ViewSet::Add(const QString& path) {
  auto file = std::make_unique<SourceFile>(path);
  for (size_t f = 0; f < files_.size(); ++f)
    if (files_[f].device == file->device() && files_[f].inode == file->inode()) {
      listings_.push_back(f);
      return;
    }
  const uint64_t device = file->device(), inode = file->inode();
  files_.push_back({device, inode, OpenSource(std::move(file), &budget_, false)});
  listings_.push_back(files_.size() - 1);
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
  files_[file].reader = wrap(std::move(files_[file].reader));
}

ViewSet::RowsToRead::RowsToRead(const ViewSet& views) : views_(views) {
  for (const File& f : views.files_) rows_.emplace_back(f.reader->image().Height, false);
}

void ViewSet::RowsToRead::Add(size_t listing, uint32_t row) {
  if (listing >= views_.listings_.size()) return;  // a made view: read as asked
  std::vector<bool>& rows = rows_[views_.listings_[listing]];
  if (row < rows.size()) rows[row] = true;
}

void ViewSet::ReadAhead(const RowsToRead& rows, uint32_t columns, unsigned threads) {
  if (!replacedListings_.empty()) return;
  std::vector<size_t> ahead;
  std::vector<AheadView> views;
  ahead.reserve(files_.size());
  views.reserve(files_.size());  // no reader is lost to a failed push_back
  for (size_t f = 0; f < files_.size(); ++f) {
    files_[f].reader->UseColumns(columns);
    if (files_[f].reader->ReadsDirectly()) continue;
    std::vector<uint32_t> asked;
    for (uint32_t r = 0; r < rows.rows_[f].size(); ++r)
      if (rows.rows_[f][r]) asked.push_back(r);
    if (asked.empty()) continue;
    ahead.push_back(f);
    views.push_back({std::move(files_[f].reader), std::move(asked)});
  }
  if (views.empty()) return;
  std::vector<std::unique_ptr<SourceReader>> readers;
  try {
    readers = plivora::ReadAhead(views, threads);
  } catch (...) {
    for (size_t i = 0; i < ahead.size(); ++i) files_[ahead[i]].reader = std::move(views[i].reader);
    throw;
  }
  for (size_t i = 0; i < ahead.size(); ++i) files_[ahead[i]].reader = std::move(readers[i]);
}

void ViewSet::ReplaceListings(std::vector<std::unique_ptr<SourceReader>> readers, const std::vector<size_t>& of) {
  std::vector<SourceReader*> listings;
  for (size_t i = 0; i < listings_.size(); ++i) listings.push_back(i < of.size() ? readers.at(of[i]).get() : &(*this)[i]);
  replacedListings_ = std::move(listings);
  for (auto& reader : readers) replaced_.push_back(std::move(reader));
}

}  // namespace plivora

namespace plivora {

void ViewSet::MakeListings(std::vector<std::unique_ptr<SourceReader>> readers, const std::vector<size_t>& of) {
  std::vector<SourceReader*> listings;
  for (const size_t i : of) listings.push_back(readers.at(i).get());
  replacedListings_ = std::move(listings);
  for (auto& reader : readers) replaced_.push_back(std::move(reader));
}

}  // namespace plivora
