#include <gtest/gtest.h>

#include "framework/HandleObject.h"
#include "framework/Mutex.h"

namespace {

HANDLE NewEvent() {
  return ::CreateEventA(nullptr, TRUE, FALSE, nullptr);
}

bool IsOpen(HANDLE handle) {
  DWORD flags;
  return ::GetHandleInformation(handle, &flags) != 0;
}

TEST(HandleObject, DestructionClosesTheHandleOnlyWhenTheObjectOwnsIt) {
  struct Case {
    const char *name;
    bool owns;
  };
  for (const Case &c : {Case{"owning", true}, Case{"borrowing", false}}) {
    SCOPED_TRACE(c.name);
    HANDLE event = NewEvent();
    ASSERT_NE(event, nullptr);
    {
      CHandleObject<HANDLE> object(event);
      EXPECT_TRUE(object.OwnsHandle()) << "a new object owns its handle";
      object.SetOwnership(c.owns);
      EXPECT_EQ(object.OwnsHandle(), c.owns);
    }
    EXPECT_EQ(IsOpen(event), !c.owns);
    if (!c.owns) ::CloseHandle(event);
  }
}

TEST(HandleObject, SetHandleOfNullKeepsTheHandleAndANewHandleLeavesTheOldOneOpen) {
  HANDLE first = NewEvent();
  HANDLE second = NewEvent();
  {
    CHandleObject<HANDLE> object;
    EXPECT_FALSE(object.SetHandle(nullptr));
    EXPECT_EQ(object.GetHandle(), nullptr);
    EXPECT_TRUE(object.SetHandle(first));
    EXPECT_FALSE(object.SetHandle(nullptr));
    EXPECT_EQ(object.GetHandle(), first);
    object.SetOwnership(false);
    EXPECT_TRUE(object.SetHandle(second));
    EXPECT_FALSE(object.OwnsHandle()) << "SetHandle changed the ownership";
    EXPECT_EQ(object.GetHandle(), second);
    EXPECT_TRUE(IsOpen(first));
    object.SetOwnership(true);
  }
  EXPECT_TRUE(IsOpen(first));
  EXPECT_FALSE(IsOpen(second));
  ::CloseHandle(first);
}

TEST(HandleObject, CloseReleasesAtOnceWhateverTheOwnershipAndIsHarmlessWithoutAHandle) {
  CHandleObject<HANDLE> empty;
  EXPECT_TRUE(empty.Close());

  HANDLE event = NewEvent();
  CHandleObject<HANDLE> borrowed(event);
  borrowed.SetOwnership(false);
  EXPECT_TRUE(borrowed.Close());
  EXPECT_EQ(borrowed.GetHandle(), nullptr);
  EXPECT_FALSE(borrowed.OwnsHandle());
  EXPECT_FALSE(IsOpen(event));
  EXPECT_TRUE(borrowed.Close());
}

TEST(Mutex, ASecondCreateFailsAndCreatesNothingAndDestructionClosesTheMutex) {
  const char *first = "tovra-framework-test-mutex-1";
  const char *second = "tovra-framework-test-mutex-2";
  {
    CMutex mutex;
    EXPECT_EQ(mutex.GetHandle(), nullptr);
    EXPECT_TRUE(mutex.OwnsHandle());
    ASSERT_TRUE(mutex.Create(first, FALSE, nullptr));
    HANDLE held = mutex.GetHandle();
    EXPECT_NE(held, nullptr);
    EXPECT_FALSE(mutex.Create(second, FALSE, nullptr));
    EXPECT_EQ(mutex.GetHandle(), held);
    EXPECT_EQ(::OpenMutexA(SYNCHRONIZE, FALSE, second), nullptr) << "the second Create made a mutex";
  }
  EXPECT_EQ(::OpenMutexA(SYNCHRONIZE, FALSE, first), nullptr) << "the destroyed CMutex left its mutex open";
}

}  // namespace
