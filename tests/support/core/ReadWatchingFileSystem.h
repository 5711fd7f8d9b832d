#pragma once
// The real file system with a hook that sees every read call (the file's path), and whose files
// cannot be mapped, as a table too large to map is read: for tests of how and when a run reads.

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "xbase/FileSystem.h"

class ReadWatchingFileSystem : public xbase::FileSystem {
public:
    std::function<void(const std::string& path)> onRead;

    xbase::Status open(const std::string& path, xbase::OpenMode mode, std::unique_ptr<xbase::File>* out) override {
        std::unique_ptr<xbase::File> f;
        XB_TRY(base_.open(path, mode, &f));
        *out = std::make_unique<Watched>(std::move(f), this);
        return xbase::Status::Ok();
    }
    xbase::Status rename(const std::string& from, const std::string& to) override { return base_.rename(from, to); }
    xbase::Status remove(const std::string& path) override { return base_.remove(path); }
    bool exists(const std::string& path) override { return base_.exists(path); }
    xbase::Status listDir(const std::string& dir, std::vector<std::string>* names) override {
        return base_.listDir(dir, names);
    }
    xbase::Status syncDir(const std::string& dir) override { return base_.syncDir(dir); }

private:
    class Watched : public xbase::File {
    public:
        Watched(std::unique_ptr<xbase::File> f, ReadWatchingFileSystem* fs) : f_(std::move(f)), fs_(fs) {}
        xbase::Status read(uint64_t o, void* b, size_t n, size_t* got) override {
            if (fs_->onRead) fs_->onRead(f_->path());
            return f_->read(o, b, n, got);
        }
        xbase::Status write(uint64_t o, const void* b, size_t n) override { return f_->write(o, b, n); }
        xbase::Status size(uint64_t* out) override { return f_->size(out); }
        xbase::Status truncate(uint64_t n) override { return f_->truncate(n); }
        xbase::Status sync() override { return f_->sync(); }
        xbase::Status lock(xbase::LockKind k) override { return f_->lock(k); }
        const std::string& path() const override { return f_->path(); }

    private:
        std::unique_ptr<xbase::File> f_;
        ReadWatchingFileSystem* fs_;
    };
    xbase::FileSystem& base_ = xbase::FileSystem::real();
};
