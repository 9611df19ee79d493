#include "dataio/H5Detail.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace dataio {
namespace detail {

SilenceHDF5::SilenceHDF5()
{
    H5Eget_auto2(H5E_DEFAULT, &func_, &data_);
    H5Eset_auto2(H5E_DEFAULT, nullptr, nullptr);
}

SilenceHDF5::~SilenceHDF5() { H5Eset_auto2(H5E_DEFAULT, func_, data_); }

namespace {

/// Takes the innermost (first) entry of the error stack: the library's own reason.
herr_t firstEntry(unsigned n, const H5E_error2_t* entry, void* clientData)
{
    if (n == 0) {
        auto* out = static_cast<std::string*>(clientData);
        char major[256] = {0};
        char minor[256] = {0};
        H5Eget_msg(entry->maj_num, nullptr, major, sizeof(major));
        H5Eget_msg(entry->min_num, nullptr, minor, sizeof(minor));
        *out = std::string(" (") + major + ") " + minor;
    }
    return 0;
}

}  // namespace

void fail(const std::string& text)
{
    std::string reason;
    H5Ewalk2(H5E_DEFAULT, H5E_WALK_UPWARD, firstEntry, &reason);
    H5Eclear2(H5E_DEFAULT);
    throw H5Exception(text + reason);
}

H5Handle check(hid_t id, const std::string& text)
{
    if (id < 0) fail(text);
    return H5Handle(id);
}

void check(herr_t status, const std::string& text)
{
    if (status < 0) fail(text);
}

namespace {

/// The descriptor, size and end of allocation of a file the library keeps as a plain descriptor.
bool fileExtent(hid_t file, int& fd, off_t& size, off_t& end)
{
    SilenceHDF5 silence;
    haddr_t eoa = 0;
    void* handle = nullptr;
    struct stat st {};
    if (H5Fget_eoa(file, &eoa) < 0 || H5Fget_vfd_handle(file, H5P_DEFAULT, &handle) < 0 || handle == nullptr)
        return false;
    fd = *static_cast<int*>(handle);
    if (fstat(fd, &st) != 0) return false;
    size = st.st_size;
    end = static_cast<off_t>(eoa);
    return true;
}

/// The file's length set to the library's end of allocation, only lengthened or only shortened.
void fitToEnd(hid_t file, bool lengthen)
{
    int fd = -1;
    off_t size = 0, end = 0;
    if (fileExtent(file, fd, size, end) && (lengthen ? size < end : size > end) && ftruncate(fd, end) != 0) return;
}

}  // namespace

int allocateToEnd(hid_t file)
{
    int fd = -1;
    off_t size = 0, end = 0;
    if (!fileExtent(file, fd, size, end) || end <= size) return 0;
    const int code = posix_fallocate(fd, size, end - size);
    return code == EINVAL || code == EOPNOTSUPP ? 0 : code;
}

void lengthenToEnd(hid_t file) { fitToEnd(file, true); }

void trimToEnd(hid_t file)
{
    unsigned intent = 0;
    SilenceHDF5 silence;
    if (H5Fget_intent(file, &intent) < 0 || (intent & H5F_ACC_RDWR) == 0 || H5Fflush(file, H5F_SCOPE_LOCAL) < 0) return;
    fitToEnd(file, false);
}

std::vector<std::string> components(const std::string& path)
{
    std::vector<std::string> parts;
    std::string::size_type begin = 0;
    while (begin <= path.size()) {
        auto end = path.find('/', begin);
        if (end == std::string::npos) end = path.size();
        if (end > begin) parts.push_back(path.substr(begin, end - begin));
        begin = end + 1;
    }
    return parts;
}

H5Handle variableStringType()
{
    H5Handle type = check(H5Tcopy(H5T_C_S1), "Unable to create a string type");
    check(H5Tset_size(type.id(), H5T_VARIABLE), "Unable to create a string type");
    check(H5Tset_cset(type.id(), H5T_CSET_UTF8), "Unable to create a string type");
    return type;
}

}  // namespace detail
}  // namespace dataio
