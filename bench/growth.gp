# Growth plot of the benchmark suite. Call with
#   gnuplot -e "data='growth.dat'; out='growth.png'" bench/growth.gp
# data holds one block per series, each headed by "# <series>" (written by
# sysdata_bench --growth_out).
if (!exists("data")) data = 'growth.dat'
if (!exists("out")) out = 'growth.png'

set terminal pngcairo size 1200,520 font ",10"
set output out
set multiplot layout 1,2 title "Settings access: growth with file size and with threads"

set title "Accessor get and set against the size of \"Settings.ini\""
set logscale xy
set xlabel "keys in the file"
set ylabel "median time per operation (us)"
set key right center
set grid
plot data index "accessor get (us)" using 1:2 with linespoints lw 2 pt 7 title "accessor get", \
     data index "get floor: read + parse (us)" using 1:2 with linespoints dt 2 pt 6 title "get floor: read + parse", \
     data index "accessor set (us)" using 1:2 with linespoints lw 2 pt 5 title "accessor set", \
     data index "set floor: read + parse + serialise + durable replace (us)" using 1:2 with linespoints dt 2 pt 4 title "set floor: durable replace"

unset logscale
set title "Throughput against one thread (2 cores)"
set xlabel "threads"
set ylabel "speed-up over one thread doing the same operations"
set xrange [0.8:4.2]
set yrange [0:2.3<*]
set samples 200
set xtics (1, 2, 4)
set key bottom right
plot data index "get, different files (speed-up)" using 1:2 with linespoints lw 2 pt 7 title "get, different files", \
     data index "get, one file (speed-up)" using 1:2 with linespoints dt 2 pt 6 title "get, one file", \
     data index "set, different files (speed-up)" using 1:2 with linespoints lw 2 pt 5 title "set, different files", \
     data index "set, one file (speed-up)" using 1:2 with linespoints dt 2 pt 4 title "set, one file", \
     (x < 2 ? x : 2) with lines lc rgb "black" dt 3 title "two cores' limit"
unset multiplot
