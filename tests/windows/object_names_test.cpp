// Varnok's shared names: the lock on the PC's tables and the session's instance. Under Wine
// there are no private namespaces, so they are names of the kernel's own namespaces, which
// any program may take first; whatever holds them, Varnok says why and never runs unlocked.
#include <functional>
#include <thread>

#include <gtest/gtest.h>

#include "win32/object_names.h"
#include "win32/roles.h"
#include "win32/single_instance.h"
#include "win32/win32.h"

#include <sddl.h>

namespace {

using Refusal = TablesLock::Acquisition::Refusal;

// A mutex made with `rights` (SDDL), as another program would make it.
UniqueHandle MutexWithRights(const wchar_t* name, const wchar_t* rights) {
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    ::ConvertStringSecurityDescriptorToSecurityDescriptorW(rights, SDDL_REVISION_1, &descriptor,
                                                           nullptr);
    SECURITY_ATTRIBUTES attributes{sizeof attributes, descriptor, FALSE};
    UniqueHandle mutex(::CreateMutexW(&attributes, FALSE, name));
    ::LocalFree(descriptor);
    return mutex;
}

const struct Squatter {
    const char* what;
    std::function<UniqueHandle(const wchar_t*)> make;
} kSquatters[] = {
    {"an event",
     [](const wchar_t* name) { return UniqueHandle(::CreateEventW(nullptr, TRUE, FALSE, name)); }},
    {"a semaphore",
     [](const wchar_t* name) { return UniqueHandle(::CreateSemaphoreW(nullptr, 0, 1, name)); }},
    // Administrators shut out: only the system may open it.
    {"a mutex only the system may open",
     [](const wchar_t* name) { return MutexWithRights(name, L"O:SYD:P(A;;GA;;;SY)"); }},
};

class ObjectNames : public ::testing::Test {
protected:
    void SetUp() override {
        if (names.Private()) {
            GTEST_SKIP() << "this system keeps Varnok's names in a private namespace";
        }
    }
    const VarnokNamespace names;
};

// Both names the lock ever had taken by something that is not Varnok's: every way of
// taking the lock is refused with a reason naming the lock's name; nothing is held.
TEST_F(ObjectNames, ALockNameHeldByAnythingElseIsRefusedWithItsReason) {
    for (const Squatter& squatter : kSquatters) {
        SCOPED_TRACE(squatter.what);
        const UniqueHandle global = squatter.make(L"Global\\Varnok.Tables");
        const UniqueHandle local = squatter.make(L"Local\\Varnok.Tables");
        ASSERT_TRUE(global && local);
        NamedTablesLock lock(names, 300);
        for (const TablesLock::Acquisition& refused : {lock.Acquire({}, {}), lock.TryAcquire()}) {
            EXPECT_FALSE(refused.held);
            EXPECT_EQ(refused.refusal, Refusal::Foreign);
            EXPECT_NE(refused.reason.find(L"Global\\Varnok.Tables"), std::wstring::npos)
                << refused.reason;
            EXPECT_NE(refused.reason.find(L"nothing was changed"), std::wstring::npos);
        }
    }
    EXPECT_TRUE(NamedTablesLock(names, 300).TryAcquire().held); // once they are gone
}

// The instance's name taken the same way: the start is not the instance, and says why.
TEST_F(ObjectNames, AnInstanceNameHeldByAnythingElseIsNotHadAndSaysWhy) {
    for (const Squatter& squatter : kSquatters) {
        SCOPED_TRACE(squatter.what);
        const UniqueHandle taken = squatter.make(L"Local\\Varnok.Instance");
        ASSERT_TRUE(taken);
        const SingleInstance instance(names);
        EXPECT_FALSE(instance.First());
        EXPECT_NE(instance.Reason().find(L"Local\\Varnok.Instance"), std::wstring::npos)
            << instance.Reason();
    }
    const SingleInstance instance(names);
    EXPECT_TRUE(instance.First());
    EXPECT_TRUE(instance.Reason().empty());
}

// A first instance that holds its name but shows no window: a second start neither
// becomes the instance nor ends silently: it finds no window, which it can say.
TEST_F(ObjectNames, ASecondStartThatFindsNoFirstWindowKnowsIt) {
    std::atomic<int> stage{0};
    std::thread first([&] {
        const SingleInstance instance(names);
        EXPECT_TRUE(instance.First());
        stage = 1;
        while (stage != 2) {
            std::this_thread::yield();
        }
    });
    while (stage == 0) {
        std::this_thread::yield();
    }
    SingleInstance second(names);
    EXPECT_FALSE(second.First());
    EXPECT_TRUE(second.Reason().empty());
    EXPECT_EQ(second.TakeOverOrShow(L"Varnok window that is nowhere"),
              SingleInstance::Outcome::NoWindow);
    stage = 2;
    first.join();
}

} // namespace
