// FileImage: the bytes of a whole file, for the dictionary and model
// loaders. The file is mapped privately: its pages come from the page cache
// and are shared by every process that maps the same file, so a load costs
// neither a copy nor fresh memory. Writes through the image change only this
// process's copy (copy-on-write). The mapping is advised for huge pages:
// pages the system reads into its cache for it then come in huge pages
// where the file system allows, and any process that maps them later needs
// one address translation per 2 MiB of dictionary instead of 512. Where a
// file cannot be mapped it is read into memory instead.
//
// A mapped file must not be shortened or rewritten in place while it is in
// use: the kernel drops the pages past the new end, and reading them stops
// the process with SIGBUS. Replace such files by renaming a new file over
// them, as the builders write theirs; the old image then stays valid.
#ifndef TALMORO_BASE_FILE_IMAGE_H_
#define TALMORO_BASE_FILE_IMAGE_H_

#include <cstddef>

class FileImage {
 public:
  FileImage() = default;
  ~FileImage();
  FileImage(FileImage&& other) noexcept;
  FileImage& operator=(FileImage&& other) noexcept;
  FileImage(const FileImage&) = delete;
  FileImage& operator=(const FileImage&) = delete;

  // Takes the whole of the file at path. False when it cannot be opened, is
  // not a regular file, or can be neither mapped nor read whole; the image
  // is then left as it was. An empty file gives an empty image.
  bool open(const char* path);
  // Drops the bytes.
  void reset();

  unsigned char* data() const { return data_; }  // null when empty
  size_t size() const { return size_; }
  bool empty() const { return size_ == 0; }

 private:
  unsigned char* data_ = nullptr;
  size_t size_ = 0;
  bool mapped_ = false;  // else data_ came from new[]
};

#endif  // TALMORO_BASE_FILE_IMAGE_H_
