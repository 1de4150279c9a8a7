// The views of one export, opened once each.
//
// A series may list the same file several times. Each distinct file (same
// device and inode, whatever the path) gets one reader, which serves every
// listing: the export reads rows top to bottom for all views in step, so
// each listing of a file asks for the same row as the others, and asking for
// a row again costs a copy, not a decode. The decoding buffers of all
// distinct files together stay within one DecodeBudget. Files whose rows
// cost decoding or converting may be read ahead, on threads of their own
// (read_ahead.h).
#pragma once

#include <QString>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "series/source_image.h"

namespace plivora {

class ViewSet {
 public:
  explicit ViewSet(uint64_t decodeBudget = DecodeBudget::kDefaultBytes) : budget_(decodeBudget) {}

  // Opens the view at `path` as the next listing, or shares the reader of an
  // earlier listing of the same file. Raises the reader's errors, and
  // `Cannot read view "PATH": decoding it takes ...` for the view whose
  // buffers would take the views past the budget.
  // Nothing is decoded yet: the views' claims on the budget are all made
  // from their headers first.
  void Add(const QString& path);
  // Decodes what each view needs before its first row (SourceReader::Start),
  // in the order the files were opened; running out of memory names the
  // view. Call it after the last Add.
  void Start();

  size_t size() const { return replacedListings_.empty() ? listings_.size() : replacedListings_.size(); }
  // The reader of listing `i`, in the order of Add.
  SourceReader& operator[](size_t i) const {
    return replacedListings_.empty() ? *files_[listings_[i]].reader : *replacedListings_[i];
  }
  // The number of distinct files opened, and the reader of each, in the
  // order they were opened.
  size_t FileCount() const { return files_.size(); }
  SourceReader& FileReader(size_t file) const { return *files_[file].reader; }
  // Puts `wrap(reader)` in the place of file `file`'s reader, for every
  // listing of that file (a reader that converts its rows, say).
  void WrapFileReader(size_t file,
                      const std::function<std::unique_ptr<SourceReader>(std::unique_ptr<SourceReader>)>& wrap);
  // Puts readers of the caller's making in the place of the listings':
  // listing i reads through readers[of[i]] from then on (an aligned view
  // that reads through its file's reader, say). The set keeps them, and
  // destroys them before the files' readers.
  void ReplaceListings(std::vector<std::unique_ptr<SourceReader>> readers, const std::vector<size_t>& of);

  // Puts views made from the files (layers, a picture and its depth map) in
  // the place of the listings: the set then has of.size() listings, listing
  // i reading readers[of[i]]. The set keeps them, and destroys them before
  // the files' readers they read through.
  void MakeListings(std::vector<std::unique_ptr<SourceReader>> readers, const std::vector<size_t>& of);

  // The rows a reading of the views will ask for: listings of one file
  // share its rows.
  class RowsToRead {
   public:
    explicit RowsToRead(const ViewSet& views);
    // Listing `listing` will be asked for row `row` (rows past its height
    // are left to the reader to refuse).
    void Add(size_t listing, uint32_t row);

   private:
    friend class ViewSet;
    const ViewSet& views_;
    std::vector<std::vector<bool>> rows_;  // a flag per row of each file
  };
  // Reads the rows of every file that decodes or converts them as they are
  // read (SourceReader::ReadsDirectly false) ahead of the caller, on up to
  // `threads` threads; the other files are read as asked, as before. Only
  // columns [0, columns) of the rows are looked at from now on. Rows are
  // then asked for as `rows` says, in increasing order across the listings
  // of one file. Call it after Start, once; raises Error when a thread
  // cannot start, leaving the views as they were. Views whose listings
  // were replaced (read through shifts and turns) are read as asked: their
  // readers ask their files for other rows and columns than the composer's.
  void ReadAhead(const RowsToRead& rows, uint32_t columns, unsigned threads);

 private:
  struct File {
    uint64_t device, inode;
    std::unique_ptr<SourceReader> reader;
  };
  DecodeBudget budget_;
  std::vector<File> files_;
  std::vector<size_t> listings_;  // the file of each listing
  // Readers put in the listings' place by ReplaceListings (none until then);
  // kept after files_, so destroyed first.
  std::vector<SourceReader*> replacedListings_;
  std::vector<std::unique_ptr<SourceReader>> replaced_;
};

}  // namespace plivora
