// The one rule of every handle owner: what an owner held is closed at once
// when another is moved into it, a moved-from owner is empty, and each kind
// reads its own failure value as empty. Whether a handle is still open is
// asked of the system, not of the owner.

#include "common/win/Handle.h"

#include "tests/support/ScratchFolder.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <utility>

namespace {

bool KernelHandleIsOpen(HANDLE handle)
{
    DWORD flags = 0;
    return ::GetHandleInformation(handle, &flags) != FALSE;
}

struct EventKind {
    using Owner = win::Handle;
    static HANDLE Open() { return ::CreateEventA(nullptr, TRUE, FALSE, nullptr); }
    static HANDLE Failure() { return nullptr; }
    static bool IsOpen(HANDLE handle) { return KernelHandleIsOpen(handle); }
};

struct FileKind {
    using Owner = win::File;
    static HANDLE Open()
    {
        return ::CreateFileA("NUL", GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0,
                             nullptr);
    }
    static HANDLE Failure() { return INVALID_HANDLE_VALUE; }
    static bool IsOpen(HANDLE handle) { return KernelHandleIsOpen(handle); }
};

struct FontKind {
    using Owner = win::Font;
    static HFONT Open()
    {
        return ::CreateFontA(-11, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET, 0, 0, 0, 0,
                             "MS Sans Serif");
    }
    static HFONT Failure() { return nullptr; }
    static bool IsOpen(HFONT font) { return ::GetObjectType(font) == OBJ_FONT; }
};

template <typename Kind>
class HandleOwner : public testing::Test {};

using Kinds = testing::Types<EventKind, FileKind, FontKind>;
TYPED_TEST_SUITE(HandleOwner, Kinds);

TYPED_TEST(HandleOwner, MoveAssignmentClosesTheOldHandleAndEmptiesTheSource)
{
    auto oldValue = TypeParam::Open();
    auto newValue = TypeParam::Open();
    ASSERT_TRUE(TypeParam::IsOpen(oldValue) && TypeParam::IsOpen(newValue));
    typename TypeParam::Owner target(oldValue);
    typename TypeParam::Owner source(newValue);

    target = std::move(source);
    EXPECT_FALSE(TypeParam::IsOpen(oldValue));
    EXPECT_EQ(target.Get(), newValue);
    EXPECT_TRUE(TypeParam::IsOpen(newValue));
    EXPECT_FALSE(source);
    EXPECT_EQ(source.Get(), TypeParam::Failure());

    typename TypeParam::Owner moved(std::move(target));
    EXPECT_FALSE(target);
    EXPECT_EQ(moved.Get(), newValue);
    moved.Close();
    EXPECT_FALSE(TypeParam::IsOpen(newValue));
    EXPECT_FALSE(moved);
}

TYPED_TEST(HandleOwner, AnOwnerOfTheKindsFailureValueOrOfNothingIsEmpty)
{
    EXPECT_FALSE(typename TypeParam::Owner(TypeParam::Failure()));
    EXPECT_FALSE(typename TypeParam::Owner());
    EXPECT_EQ(typename TypeParam::Owner().Get(), TypeParam::Failure());
}

// INVALID_HANDLE_VALUE is the current process to the kinds that fail with
// null, so only the other kinds may read it as empty.
TEST(HandleOwners, EachKindReadsOnlyItsOwnFailureValueAsEmpty)
{
    EXPECT_TRUE(win::Handle(::GetCurrentProcess()));
    EXPECT_FALSE(win::File(nullptr));
    EXPECT_FALSE(win::FindHandle(nullptr));
    EXPECT_FALSE(win::FindHandle(INVALID_HANDLE_VALUE));
    EXPECT_FALSE(win::ActivationContext(INVALID_HANDLE_VALUE));
}

TEST(HandleOwners, FailedCreatorsGiveEmptyOwners)
{
    ScratchFolder folder(L"handle-test");
    EXPECT_FALSE(win::File(::CreateFileW(folder.PathOf(L"missing.txt").c_str(), GENERIC_READ, 0, nullptr,
                                         OPEN_EXISTING, 0, nullptr)));
    WIN32_FIND_DATAW entry;
    EXPECT_FALSE(win::FindFirst(folder.PathOf(L"*.missing"), entry));
}

}  // namespace
