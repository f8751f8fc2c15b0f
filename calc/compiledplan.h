#pragma once
// The plan compiled to x86-64 machine code (calc/compiledplan.cpp), and the
// entries that code calls. Built where BRUNZIT_COMPILED_PLAN is defined
// (x86-64 Linux by default); elsewhere Compile always declines and plans run
// as they are.

#include "calc/stages.h"

#include <cstdint>

namespace brunzit {

// The entries compiled plans call, with the C calling convention. Each sets
// *odd where the plan's own evaluation above would.
using PlanFunctionPointer = double (*)(double x, std::uint64_t* odd);
// A function's own entry, or null for those that take the general one.
PlanFunctionPointer PlanFunctionEntry(FunctionId function);
double PlanFunctionGeneral(int function, double x, std::uint64_t* odd);
// a op b rounded to Real6 where the double result lies on a midpoint; the
// caller checks the range.
double PlanTie(int op, double a, double b);
double PlanPowerWhole(double a, double b, std::uint64_t* odd);
double PlanPower(double a, double b, std::uint64_t* odd);

// CalcularXYZUV's own signature: compiled code is called in its place.
using Calculation = void (*)(const Real6& x, const Real6& y, const Real6& z, const Real6& u, const Real6& v,
                             Real6& result, std::int32_t& error);

// The steps become straight-line code with the same roundings and checks,
// and every rare case (a tie, a power, a function) calls the entries above.
// Where any value leaves the plain range the code hands its arguments, as
// they came, to fallBack. Where the system refuses executable memory,
// Compile returns false, and every later Compile in the process declines at
// once without generating anything.
class CompiledPlan {
 public:
  CompiledPlan() = default;
  ~CompiledPlan();
  CompiledPlan(const CompiledPlan&) = delete;
  CompiledPlan& operator=(const CompiledPlan&) = delete;

  // The code reads and writes plan.Registers, so the plan must stay where
  // it is while the code is in use.
  bool Compile(const EvaluationPlan& plan, Calculation fallBack);
  void Clear() { entry_ = nullptr; }
  bool Ready() const { return entry_ != nullptr; }
  Calculation Entry() const { return entry_; }

  // Whether the system refused executable memory to this process.
  static bool Refused();

 private:
  unsigned char* code_ = nullptr;
  Calculation entry_ = nullptr;
};

// The first bytes of every entry: endbr64, so that the entry is a valid
// target of an indirect call where indirect branch tracking is enforced.
inline constexpr unsigned char EntryMarker[4] = {0xF3, 0x0F, 0x1E, 0xFA};

}  // namespace brunzit
