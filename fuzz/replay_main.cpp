// Runs a fuzz harness once on each seed, without libFuzzer, so that every
// test run (with any compiler, and under the sanitizers in build-asan) checks
// the seeds of fuzz/corpus/<harness>/. A broken property aborts, as it does
// under libFuzzer.
//
//   replay_<harness> <file or folder>...
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <system_error>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size);
// Defined by the harnesses that need it; a weak reference stays null otherwise.
extern "C" __attribute__((weak)) int LLVMFuzzerInitialize(int *argc, char ***argv);

namespace fs = std::filesystem;

namespace {

// The files a folder holds, in a fixed order so that runs can be compared.
bool collect(const fs::path &path, std::vector<fs::path> &files)
{
    std::error_code error;
    if (!fs::is_directory(path, error)) {
        if (!fs::exists(path, error)) {
            std::fprintf(stderr, "no such file or folder: %s\n", path.c_str());
            return false;
        }
        files.push_back(path);
        return true;
    }
    std::vector<fs::path> found;
    for (fs::recursive_directory_iterator it(path, error), end; !error && it != end;
         it.increment(error)) {
        if (it->is_regular_file(error))
            found.push_back(it->path());
    }
    if (error) {
        std::fprintf(stderr, "cannot list %s: %s\n", path.c_str(), error.message().c_str());
        return false;
    }
    std::sort(found.begin(), found.end());
    files.insert(files.end(), found.begin(), found.end());
    return true;
}

bool readFile(const fs::path &path, std::vector<char> &bytes)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return false;
    bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return !in.bad();
}

} // namespace

int main(int argc, char **argv)
{
    if (LLVMFuzzerInitialize)
        LLVMFuzzerInitialize(&argc, &argv);

    std::vector<fs::path> files;
    int missing = 0;
    for (int i = 1; i < argc; ++i) {
        if (!collect(argv[i], files))
            ++missing;
    }
    if (files.empty()) {
        std::fprintf(stderr, "usage: %s <file or folder>... (no seeds given)\n", argv[0]);
        return 2;
    }

    int passed = 0;
    int failed = missing;
    std::vector<char> bytes;
    for (const fs::path &file : files) {
        if (!readFile(file, bytes)) {
            std::printf("%s: cannot read\n", file.c_str());
            ++failed;
            continue;
        }
        // A buffer of exactly the input's size, as libFuzzer passes it, so that
        // AddressSanitizer sees any read past its end.
        const std::size_t size = bytes.size();
        const auto data = std::make_unique<uint8_t[]>(size);
        std::copy(bytes.begin(), bytes.end(), data.get());
        // The name goes out first: a broken property aborts before the verdict.
        std::printf("%s (%zu bytes): ", file.c_str(), size);
        std::fflush(stdout);
        // libFuzzer takes 0, and -1 for an input not to be kept; anything else
        // is an error of the harness.
        const int result = LLVMFuzzerTestOneInput(data.get(), size);
        if (result != 0 && result != -1) {
            std::printf("returned %d\n", result);
            ++failed;
            continue;
        }
        std::printf("ok\n");
        ++passed;
    }
    std::printf("%d passed, %d failed\n", passed, failed);
    return failed == 0 ? 0 : 1;
}
