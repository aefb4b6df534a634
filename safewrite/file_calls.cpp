#include "file_calls.h"

namespace safewrite {

const char* ReasonOf(Error error) {
    switch (error) {
        case Error::None:
            return "no error";
        case Error::NotFound:
            return "no such file";
        case Error::NoFolder:
            return "no such folder";
        case Error::Denied:
            return "permission denied";
        case Error::IsFolder:
            return "a folder";
        case Error::NotRegular:
            return "not a regular file";
        case Error::Exists:
            return "a file of that name exists";
        case Error::InUse:
            return "the file is in use by another program";
        case Error::Busy:
            return "the system holds it busy (a mount point)";
        case Error::NoReader:
            return "nothing reads from it";
        case Error::ReaderGone:
            return "its reader has gone (a broken pipe)";
        case Error::NoSpace:
            return "no space left on device";
        case Error::TooLarge:
            return "the file is too large";
        case Error::NameTooLong:
            return "the name is too long";
        case Error::ReadOnly:
            return "read-only file system";
        case Error::LinkLoop:
            return "too many symbolic links";
        case Error::Io:
            return "input/output error";
        case Error::TooManyFiles:
            return "too many files at once";
        case Error::NotReadable:
            return "it must be written in place, and its old bytes cannot be read to be kept meanwhile";
        case Error::StagedChanged:
            return "its staged copy was removed or changed by another program";
        case Error::Other:
            break;
    }
    return OtherReason();
}

File& File::operator=(File&& other) noexcept {
    if (this != &other) {
        Close();
        handle_ = other.handle_;
        other.handle_ = kNone;
    }
    return *this;
}

}  // namespace safewrite
