// The built-in handlers called directly, for what no compiled script reaches: the notification
// variants, the "intf" importer, and calls whose shape a hand-made image got wrong.

#include <gtest/gtest.h>

#include <string>

#include "engine/exec/exec.h"
#include "engine/library/dispatcher.h"
#include "engine/library/interface_importer.h"
#include "engine/library/notification_variant.h"
#include "engine/values/script_fault.h"
#include "engine/values/value_access.h"
#include "engine/values/variant.h"

namespace dravik::engine {
namespace {

class LibraryHandlers : public ::testing::Test {
 protected:
  LibraryHandlers() {
    stringType_.CalcSize();
    pcharType_.CalcSize();
    intType_.CalcSize();
    charType_.CalcSize();
  }

  // A procedure record with that call declaration, bound to nothing yet.
  TPSExternalProcRec& Proc(std::string declaration) {
    proc_.declaration = std::move(declaration);
    return proc_;
  }
  void PushString(std::string_view text) { SetStringAt(exec_.MainStack().Push(stringType_), text); }
  ValueRef PushVariant() {
    void* at = exec_.MainStack().Push(exec_.VariantType());
    return {at, &exec_.VariantType()};
  }

  TPSExec exec_;
  TPSTypeRec stringType_{tcString};
  TPSTypeRec pcharType_{tcPChar};
  TPSTypeRec intType_{tcS32};
  TPSTypeRec charType_{tcChar};
  TPSExternalProcRec proc_{exec_};
};

TEST_F(LibraryHandlers, NotificationVariantsGoThroughTheEvents) {
  TPSStack& stack = exec_.MainStack();
  const std::string setCall{kCallDeclProcedure, kCallDeclByValue, kCallDeclByValue};
  ValueRef value = PushVariant();  // second parameter below the first
  SetVariantInteger(value.data, varInteger, 42);
  PushString("Counter");
  EXPECT_FALSE(NotificationVariantSetRoutine(exec_, Proc(setCall), exec_.Globals(), stack)) << "no event";
  std::string seen;
  exec_.OnNotificationVariantSet = [&](TPSExec&, std::string_view name, ValueRef v) {
    seen = std::string(name) + "=" + GetString(v);
  };
  EXPECT_TRUE(NotificationVariantSetRoutine(exec_, Proc(setCall), exec_.Globals(), stack));
  EXPECT_EQ(seen, "Counter=42");
  stack.Clear();

  const std::string getCall{kCallDeclFunction, kCallDeclByValue};
  PushString("Name");
  ValueRef result = PushVariant();
  SetVariantInteger(result.data, varInteger, 1);
  EXPECT_FALSE(NotificationVariantGetRoutine(exec_, Proc(getCall), exec_.Globals(), stack)) << "no event";
  exec_.OnNotificationVariantGet = [](TPSExec&, std::string_view name, ValueRef v) {
    EXPECT_EQ(VariantTypeAt(v.data), varEmpty) << "the event gets a fresh variant";
    SetString(v, "value of " + std::string(name));
  };
  EXPECT_TRUE(NotificationVariantGetRoutine(exec_, Proc(getCall), exec_.Globals(), stack));
  EXPECT_EQ(GetString(result), "value of Name");
  stack.Clear();
}

TEST_F(LibraryHandlers, DispatcherRefusesCallsItCannotRead) {
  TPSStack& stack = exec_.MainStack();
  PushString("abc");
  PushVariant();  // a result slot of the wrong kind is the setter's problem, not the shape's
  TPSExternalProcRec& length = Proc({kCallDeclFunction, kCallDeclByValue});
  length.extra2 = 9;  // the free number
  EXPECT_FALSE(DispatchLibraryRoutine(exec_, length, exec_.Globals(), stack));
  length.extra2 = 200;
  EXPECT_FALSE(DispatchLibraryRoutine(exec_, length, exec_.Globals(), stack));
  length.extra2 = 13;  // LENGTH, but declared as a procedure
  length.declaration = {kCallDeclProcedure, kCallDeclByValue};
  EXPECT_FALSE(DispatchLibraryRoutine(exec_, length, exec_.Globals(), stack));
  length.declaration = {kCallDeclFunction, kCallDeclByValue};
  EXPECT_TRUE(DispatchLibraryRoutine(exec_, length, exec_.Globals(), stack));
  EXPECT_EQ(GetInt32(stack.FromTop(-1)), 3);
  stack.Clear();
  EXPECT_FALSE(DispatchLibraryRoutine(exec_, length, exec_.Globals(), stack)) << "empty stack";

  // Delete(var s: string; ...) given a PChar variable: the first parameter lies on top.
  SetInt32({stack.Push(intType_), &intType_}, 1);
  SetInt32({stack.Push(intType_), &intType_}, 1);
  SetStringAt(stack.Push(pcharType_), "abc");
  TPSExternalProcRec& remove = Proc({kCallDeclProcedure, 1, kCallDeclByValue, kCallDeclByValue});
  remove.extra2 = 5;
  EXPECT_FALSE(DispatchLibraryRoutine(exec_, remove, exec_.Globals(), stack));
  EXPECT_EQ(StringAt(stack.ValueAt(stack.Count() - 1)), "abc");
  stack.Clear();
}

// StrGet(var S: string; I) refuses a variable of another type for S; StrGet2, which takes S by
// value, reads any text.
TEST_F(LibraryHandlers, StrGetTakesOnlyAStringVariable) {
  TPSStack& stack = exec_.MainStack();
  auto call = [&](char passing) {
    SetInt32({stack.Push(intType_), &intType_}, 1);
    *static_cast<char*>(stack.Push(charType_)) = 'q';
    PushString("");
    TPSExternalProcRec& get = Proc({kCallDeclFunction, passing, kCallDeclByValue});
    get.extra2 = 7;
    const bool answered = DispatchLibraryRoutine(exec_, get, exec_.Globals(), stack);
    const std::string got(StringAt(stack.ValueAt(stack.Count() - 1)));
    stack.Clear();
    return answered ? got : "false";
  };
  EXPECT_EQ(call(1), "false");
  EXPECT_EQ(call(kCallDeclByValue), "q");
}

TEST_F(LibraryHandlers, InterfaceMethodsBindButCannotBeCalled) {
  TPSExternalProcRec& method = Proc("intf:3");
  ASSERT_TRUE(exec_.ResolveExternal("", method));
  EXPECT_THROW(method.handler(exec_, method, exec_.Globals(), exec_.MainStack()), HostException);
  EXPECT_FALSE(exec_.ResolveExternal("", Proc("other:3")));
}

}  // namespace
}  // namespace dravik::engine
