#include "base/file_image.h"

#include <sys/stat.h>

#include <cstdio>
#include <new>
#include <utility>

#ifndef _WIN32
#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>
#endif

namespace {

// Reads exactly n bytes of file into dst; false on an error or an early end.
bool readWhole(std::FILE* file, unsigned char* dst, size_t n) {
  return n == 0 || std::fread(dst, 1, n, file) == n;
}

#ifdef _WIN32
bool regularFileSize(std::FILE* file, size_t* size) {
  struct _stat64 info;
  if (_fstat64(_fileno(file), &info) != 0 || (info.st_mode & _S_IFREG) == 0 ||
      info.st_size < 0)
    return false;
  *size = static_cast<size_t>(info.st_size);
  return true;
}
#else
bool regularFileSize(std::FILE* file, size_t* size) {
  struct stat info;
  if (fstat(fileno(file), &info) != 0 || !S_ISREG(info.st_mode) ||
      info.st_size < 0 ||
      static_cast<unsigned long long>(info.st_size) > static_cast<size_t>(-1))
    return false;
  *size = static_cast<size_t>(info.st_size);
  return true;
}

// The file's bytes as a private mapping, advised for huge pages (only
// advice: a system without them maps small pages), or null.
unsigned char* mapWhole(std::FILE* file, size_t size) {
  void* map = mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_PRIVATE,
                   fileno(file), 0);
  if (map == MAP_FAILED) return nullptr;
  madvise(map, size, MADV_HUGEPAGE);
  return static_cast<unsigned char*>(map);
}
#endif

}  // namespace

FileImage::~FileImage() { reset(); }

FileImage::FileImage(FileImage&& other) noexcept
    : data_(other.data_), size_(other.size_), mapped_(other.mapped_) {
  other.data_ = nullptr;
  other.size_ = 0;
  other.mapped_ = false;
}

FileImage& FileImage::operator=(FileImage&& other) noexcept {
  if (this != &other) {
    reset();
    std::swap(data_, other.data_);
    std::swap(size_, other.size_);
    std::swap(mapped_, other.mapped_);
  }
  return *this;
}

void FileImage::reset() {
#ifndef _WIN32
  if (mapped_) {
    munmap(data_, size_);
    data_ = nullptr;
  }
#endif
  delete[] data_;
  data_ = nullptr;
  size_ = 0;
  mapped_ = false;
}

bool FileImage::open(const char* path) {
  if (path == nullptr) return false;
  std::FILE* file = std::fopen(path, "rb");
  if (file == nullptr) return false;
  size_t size = 0;
  // Directories and devices open on some systems but have no usable size.
  if (!regularFileSize(file, &size)) {
    std::fclose(file);
    return false;
  }
  FileImage image;
  if (size != 0) {
#ifndef _WIN32
    image.data_ = mapWhole(file, size);
    image.mapped_ = image.data_ != nullptr;
#endif
    if (image.data_ == nullptr) {
      image.data_ = new (std::nothrow) unsigned char[size];
      if (image.data_ == nullptr || !readWhole(file, image.data_, size)) {
        std::fclose(file);
        return false;
      }
    }
    image.size_ = size;
  }
  std::fclose(file);
  *this = std::move(image);
  return true;
}
