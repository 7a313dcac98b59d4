// The owners of kernel objects (kernel/KernelOwners.h): each object is closed exactly once, by
// the owner that holds it last, and neither "no handle" value is ever closed. First with a kind
// that records its closes instead of closing, then with real objects of every owner.
#include "KernelOwners.h"

#include "ScratchFiles.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

namespace {

std::vector<HANDLE>& Closed()
{
    static std::vector<HANDLE> closed;
    return closed;
}

// Records each close; empty reads as `EmptyValue` (NULL or INVALID_HANDLE_VALUE).
template <LONG_PTR EmptyValue>
struct RecordingKind {
    using Handle = HANDLE;
    static Handle Empty() { return reinterpret_cast<HANDLE>(EmptyValue); }
    static void Close(Handle handle) { Closed().push_back(handle); }
};

const HANDLE First = reinterpret_cast<HANDLE>(0x104);
const HANDLE Second = reinterpret_cast<HANDLE>(0x208);

template <typename Owner>
struct OwnerCase {
    const char* what;
    std::function<void()> run;        // the owners live and go inside it
    std::vector<HANDLE> closedInside; // closed before `run` returns, in this order
};

template <typename Owner>
std::vector<OwnerCase<Owner>> OwnerCases()
{
    const HANDLE empty = Owner().Get();
    return {
        {"an owner closes its object when it goes", [] { Owner owner(First); }, {First}},
        {"an empty owner closes nothing", [] { Owner owner; }, {}},
        {"NULL is never closed",
         [] {
             Owner owner(nullptr);
             EXPECT_FALSE(owner);
             owner.Reset(nullptr);
         },
         {}},
        {"INVALID_HANDLE_VALUE is never closed",
         [] {
             Owner owner(INVALID_HANDLE_VALUE);
             EXPECT_FALSE(owner);
             owner.Reset(INVALID_HANDLE_VALUE);
         },
         {}},
        {"either no-handle value reads as the kind's empty value",
         [empty] {
             EXPECT_EQ(Owner(nullptr).Get(), empty);
             EXPECT_EQ(Owner(INVALID_HANDLE_VALUE).Get(), empty);
         },
         {}},
        {"a moved-from owner closes nothing, the new one closes once",
         [empty] {
             Owner from(First);
             Owner to(std::move(from));
             EXPECT_FALSE(from);
             EXPECT_EQ(from.Get(), empty);
             EXPECT_EQ(to.Get(), First);
             EXPECT_TRUE(Closed().empty());
         },
         {First}},
        {"moving onto a full owner closes what it held first",
         [] {
             Owner from(Second);
             Owner to(First);
             to = std::move(from);
             EXPECT_EQ(Closed(), std::vector<HANDLE>{First});
             EXPECT_EQ(to.Get(), Second);
         },
         {First, Second}},
        {"moving an owner onto itself keeps its object",
         [] {
             Owner owner(First);
             Owner& same = owner;
             owner = std::move(same);
             EXPECT_EQ(owner.Get(), First);
             EXPECT_TRUE(Closed().empty());
         },
         {First}},
        {"reset closes at once and leaves the owner empty",
         [empty] {
             Owner owner(First);
             owner.Reset();
             EXPECT_EQ(Closed(), std::vector<HANDLE>{First});
             EXPECT_EQ(owner.Get(), empty);
             owner.Reset();
         },
         {First}},
        {"reset with another object closes the old one and keeps the new one",
         [] {
             Owner owner(First);
             owner.Reset(Second);
             EXPECT_EQ(Closed(), std::vector<HANDLE>{First});
             EXPECT_EQ(owner.Get(), Second);
         },
         {First, Second}},
        {"reset with the object held keeps it",
         [] {
             Owner owner(First);
             owner.Reset(First);
             EXPECT_TRUE(Closed().empty());
         },
         {First}},
        {"release hands the object over without closing it",
         [empty] {
             Owner owner(First);
             EXPECT_EQ(owner.Release(), First);
             EXPECT_EQ(owner.Get(), empty);
         },
         {}},
    };
}

template <typename Owner>
void RunOwnerCases()
{
    for (const OwnerCase<Owner>& c : OwnerCases<Owner>()) {
        SCOPED_TRACE(c.what);
        Closed().clear();
        c.run();
        EXPECT_EQ(Closed(), c.closedInside);
    }
}

TEST(KernelOwner, ClosesExactlyOnceWhateverHappensToTheOwner)
{
    {
        SCOPED_TRACE("empty reads NULL");
        RunOwnerCases<KernelOwner<RecordingKind<0>>>();
    }
    {
        SCOPED_TRACE("empty reads INVALID_HANDLE_VALUE");
        RunOwnerCases<KernelOwner<RecordingKind<-1>>>();
    }
}

TEST(KernelOwner, EmptyOwnersReadTheValueTheirMakersGiveOnFailure)
{
    EXPECT_EQ(OwnedFile().Get(), INVALID_HANDLE_VALUE);
    EXPECT_EQ(OwnedModule().Get(), nullptr);
    EXPECT_EQ(OwnedThread().Get(), nullptr);
    EXPECT_EQ(OwnedEvent().Get(), nullptr);
    EXPECT_EQ(OwnedMutex().Get(), nullptr);
    static_assert(sizeof(OwnedFile) == sizeof(HANDLE) && sizeof(OwnedModule) == sizeof(HMODULE));
}

bool IsOpenHandle(HANDLE handle)
{
    DWORD flags = 0;
    return GetHandleInformation(handle, &flags) != FALSE;
}

DWORD WINAPI ReturnAtOnce(void*)
{
    return 0;
}

// A kernel object of each handle owner, made for real, and whether its handle is still open.
template <typename Owner>
void ExpectClosedOnceByTheLastOwner(HANDLE made)
{
    ASSERT_TRUE(IsOpenHandle(made));
    {
        Owner first(made);
        Owner second(std::move(first));
        first = Owner();
        EXPECT_TRUE(IsOpenHandle(made)) << "the moved-from owner let it be";
    }
    EXPECT_FALSE(IsOpenHandle(made)) << "closed with the last owner";
}

TEST(KernelOwner, RealEventsMutexesAndThreadsAreClosedWithTheirLastOwner)
{
    ExpectClosedOnceByTheLastOwner<OwnedEvent>(CreateEventA(nullptr, TRUE, FALSE, nullptr));
    ExpectClosedOnceByTheLastOwner<OwnedMutex>(CreateMutexA(nullptr, FALSE, nullptr));
    HANDLE thread = CreateThread(nullptr, 0, ReturnAtOnce, nullptr, 0, nullptr);
    ASSERT_EQ(WaitForSingleObject(thread, 5000), WAIT_OBJECT_0);
    ExpectClosedOnceByTheLastOwner<OwnedThread>(thread);

    // Reset closes at once; a released handle stays open for its new holder.
    OwnedEvent event(CreateEventA(nullptr, TRUE, FALSE, nullptr));
    const HANDLE reset = event.Get();
    event.Reset(CreateEventA(nullptr, TRUE, FALSE, nullptr));
    EXPECT_FALSE(IsOpenHandle(reset));
    const HANDLE released = event.Release();
    EXPECT_TRUE(IsOpenHandle(released));
    EXPECT_TRUE(CloseHandle(released));
}

// True when the file can be opened for writing with no sharing, i.e. nobody has it open.
bool OpensExclusively(const std::string& path)
{
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    CloseHandle(file);
    return true;
}

HANDLE OpenShared(const std::string& path)
{
    return CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
}

TEST(KernelOwner, ARealFileIsLetGoOnlyWhenItsLastOwnerCloses)
{
    ScratchFolder folder;
    const std::string path = folder.File("owned.txt");
    WriteBytes(path, "bytes");
    ASSERT_TRUE(OpensExclusively(path));
    {
        OwnedFile first(OpenShared(path));
        ASSERT_TRUE(first);
        OwnedFile second(std::move(first));
        first = OwnedFile();
        EXPECT_FALSE(OpensExclusively(path)) << "still open through the second owner";
        second.Reset();
        EXPECT_TRUE(OpensExclusively(path)) << "reset let it go at once";
    }
    OwnedFile failed(OpenShared(folder.File("missing.txt")));
    EXPECT_FALSE(failed);
    EXPECT_EQ(failed.Get(), INVALID_HANDLE_VALUE);

    OwnedFile handedOver(OpenShared(path));
    const HANDLE kept = handedOver.Release();
    handedOver = OwnedFile();
    EXPECT_FALSE(OpensExclusively(path)) << "released, not closed";
    CloseHandle(kept);
    EXPECT_TRUE(OpensExclusively(path));
}

TEST(KernelOwner, ALoadedModuleIsFreedWithItsLastOwner)
{
    // A small system library this program does not load by itself.
    const char* name = "msimg32.dll";
    ASSERT_EQ(GetModuleHandleA(name), nullptr);
    {
        OwnedModule first(LoadLibraryA(name));
        ASSERT_TRUE(first);
        OwnedModule second(std::move(first));
        first = OwnedModule();
        EXPECT_NE(GetModuleHandleA(name), nullptr) << "the moved-from owner let it be";
    }
    EXPECT_EQ(GetModuleHandleA(name), nullptr) << "freed with the last owner";

    OwnedModule missing(LoadLibraryA("no_such_library_anywhere.dll"));
    EXPECT_FALSE(missing);
    EXPECT_EQ(missing.Get(), nullptr);
}

} // namespace
