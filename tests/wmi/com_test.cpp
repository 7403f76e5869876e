// The COM owners: ComPtr, BString and Variant each release what they hold, once, on every path.
#include "framework/com.h"

#include "tests/wmi/fake_wbem.h"

#include <gtest/gtest.h>

#include <utility>

namespace {

using fakewmi::CountingUnknown;

ComPtr<IUnknown> Adopt(CountingUnknown& object) {
  object.AddRef();
  return ComPtr<IUnknown>(&object);
}

TEST(ComPtr, ReleasesOnDestructionAndReset) {
  CountingUnknown object;
  {
    ComPtr<IUnknown> p = Adopt(object);
    EXPECT_EQ(2, object.Refs());
    EXPECT_TRUE(p);
    EXPECT_EQ(&object, p.Get());
  }
  EXPECT_EQ(1, object.Refs());
  ComPtr<IUnknown> p = Adopt(object);
  p.Reset();
  EXPECT_EQ(1, object.Refs());
  EXPECT_FALSE(p);
  p.Reset();
  EXPECT_EQ(1, object.Refs()) << "an empty pointer releases nothing";
}

TEST(ComPtr, ReceiveReleasesWhatWasHeld) {
  CountingUnknown first, second;
  ComPtr<IUnknown> p = Adopt(first);
  IUnknown** slot = p.Receive();
  EXPECT_EQ(1, first.Refs());
  EXPECT_EQ(nullptr, *slot);
  second.AddRef();
  *slot = &second;
  EXPECT_EQ(&second, p.Get());
  p.Reset();
  EXPECT_EQ(1, second.Refs());
}

TEST(ComPtr, CopyAddsAReferenceAndMoveTransfersIt) {
  CountingUnknown object;
  ComPtr<IUnknown> a = Adopt(object);
  {
    ComPtr<IUnknown> b(a);
    EXPECT_EQ(3, object.Refs());
    ComPtr<IUnknown> c(std::move(b));
    EXPECT_EQ(3, object.Refs());
    EXPECT_FALSE(b);
    c = a; // the same object: still one reference each
    EXPECT_EQ(3, object.Refs());
  }
  EXPECT_EQ(2, object.Refs());
  a = ComPtr<IUnknown>();
  EXPECT_EQ(1, object.Refs());
}

TEST(ComPtr, DetachHandsTheReferenceOver) {
  CountingUnknown object;
  ComPtr<IUnknown> p = Adopt(object);
  IUnknown* raw = p.Detach();
  EXPECT_FALSE(p);
  EXPECT_EQ(2, object.Refs());
  raw->Release();
}

TEST(ComPtr, AsQueriesAnotherInterface) {
  CountingUnknown object;
  ComPtr<IUnknown> p = Adopt(object);
  ComPtr<IUnknown> same;
  EXPECT_EQ(S_OK, p.As(same));
  EXPECT_EQ(3, object.Refs());
  ComPtr<IClassFactory> other;
  EXPECT_EQ(E_NOINTERFACE, p.As(other));
  EXPECT_FALSE(other);
  ComPtr<IUnknown> empty;
  EXPECT_EQ(E_POINTER, empty.As(same));
  EXPECT_FALSE(same) << "the old reference was let go before the query";
  EXPECT_EQ(2, object.Refs());
}

TEST(BString, AllocatesFreesAndMoves) {
  BString s(L"root\\cimv2");
  ASSERT_NE(nullptr, s.Get());
  EXPECT_EQ(10u, s.Length());
  EXPECT_STREQ(L"root\\cimv2", s.Get());
  BString moved(std::move(s));
  EXPECT_EQ(nullptr, s.Get());
  EXPECT_EQ(10u, moved.Length());
  BString none;
  EXPECT_EQ(nullptr, none.Get());
  EXPECT_EQ(0u, none.Length());
  BString fromNull(nullptr);
  EXPECT_EQ(nullptr, fromNull.Get());
}

TEST(BString, ReceiveTakesAnOutParameter) {
  BString s(L"old");
  BSTR* slot = s.Receive();
  EXPECT_EQ(nullptr, *slot);
  *slot = ::SysAllocString(L"new");
  EXPECT_STREQ(L"new", s.Get());
  BSTR raw = s.Detach();
  EXPECT_EQ(nullptr, s.Get());
  ::SysFreeString(raw);
}

TEST(Variant, StartsEmptyAndClearsAnObjectOnDestruction) {
  CountingUnknown object;
  {
    Variant v;
    EXPECT_EQ(VT_EMPTY, v.Type());
    object.AddRef();
    V_VT(v.Get()) = VT_UNKNOWN;
    V_UNKNOWN(v.Get()) = &object;
    EXPECT_EQ(2, object.Refs());
  }
  EXPECT_EQ(1, object.Refs());
}

TEST(Variant, ReceiveAndClearLetGoOfTheOldValue) {
  CountingUnknown object;
  Variant v;
  object.AddRef();
  V_VT(v.Get()) = VT_UNKNOWN;
  V_UNKNOWN(v.Get()) = &object;
  VARIANT* slot = v.Receive();
  EXPECT_EQ(1, object.Refs());
  EXPECT_EQ(VT_EMPTY, V_VT(slot));
  V_VT(slot) = VT_BSTR;
  V_BSTR(slot) = ::SysAllocString(L"text");
  v.Clear();
  EXPECT_EQ(VT_EMPTY, v.Type());
}

} // namespace
