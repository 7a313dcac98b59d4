#include "FitProblem.h"

RunOutcome RunLevenbergMarquardt(FitProblem& problem, FitVector& theta, int maxIterations, double tinySsr)
{
    RunOutcome outcome;
    const Eigen::Index m = static_cast<Eigen::Index>(problem.Free());
    FitMatrix normal, trialNormal, damped;
    FitVector gradient, trialGradient, step, trial, scale;
    double ssr = std::numeric_limits<double>::infinity();
    if (!problem.Evaluate(theta, ssr, normal, gradient))
        return outcome;
    outcome.ssr = ssr;
    if (m == 0) {
        outcome.converged = true;
        return outcome;
    }
    scale = normal.diagonal();
    double mu = 1e-3, nu = 2.0;
    int quietSteps = 0;
    for (int iteration = 0; iteration < maxIterations; ++iteration) {
        outcome.iterations = iteration + 1;
        if (ssr <= tinySsr) {
            outcome.converged = true;
            break;
        }
        double largest = 0.0;
        for (Eigen::Index i = 0; i < m; ++i) {
            scale[i] = std::max(scale[i], normal(i, i));
            largest = std::max(largest, scale[i]);
        }
        if (!(largest > 0.0)) {   // no parameter changes the model
            outcome.converged = true;
            break;
        }
        damped = normal;
        for (Eigen::Index i = 0; i < m; ++i)
            damped(i, i) += mu * std::max(scale[i], 1e-12 * largest);
        Eigen::LLT<FitMatrix> llt(damped);
        if (llt.info() != Eigen::Success) {
            mu *= nu;
            nu *= 2.0;
            if (mu > 1e20)
                break;
            continue;
        }
        step = llt.solve(-gradient);
        if (!step.allFinite()) {
            mu *= nu;
            nu *= 2.0;
            if (mu > 1e20)
                break;
            continue;
        }
        const double stepSize = step.cwiseAbs().maxCoeff();
        if (stepSize <= 1e-11) {
            outcome.converged = true;
            break;
        }
        trial = theta + step;
        problem.ClampTheta(trial);
        step = trial - theta;
        double predicted = 0.0;
        for (Eigen::Index i = 0; i < m; ++i)
            predicted += step[i] * (mu * std::max(scale[i], 1e-12 * largest) * step[i] - gradient[i]);
        double trialSsr = std::numeric_limits<double>::infinity();
        const bool finite = problem.Evaluate(trial, trialSsr, trialNormal, trialGradient);
        const double rho = (finite && predicted > 0.0) ? (ssr - trialSsr) / predicted : -1.0;
        if (rho > 0.0) {
            const double gain = ssr - trialSsr;
            theta = trial;
            ssr = trialSsr;
            normal = trialNormal;
            gradient = trialGradient;
            const double factor = 2.0 * rho - 1.0;
            mu *= std::max(1.0 / 3.0, 1.0 - factor * factor * factor);
            mu = std::max(mu, 1e-15);
            nu = 2.0;
            if (gain <= 1e-12 * ssr && stepSize <= 1e-5) {
                if (++quietSteps >= 2) {
                    outcome.converged = true;
                    break;
                }
            } else {
                quietSteps = 0;
            }
        } else {
            mu *= nu;
            nu *= 2.0;
            if (mu > 1e16) {   // no step downhill however short: at the minimum within rounding
                outcome.converged = true;
                break;
            }
        }
    }
    problem.SetTheta(theta);
    outcome.ssr = ssr;
    return outcome;
}
