#!/usr/bin/env bash
# Checks the tracer effect source as a player's game would compile it at start-up:
#   - the first technique has exactly two passes, each compiling one vertex shader with vs_2_0
#     and one pixel shader with ps_2_0;
#   - each of those four functions compiles with glslang's HLSL front end.
# glslang reads DX10-style HLSL, so a copy is compiled in which every DX9 sampler_state
# declaration becomes a SamplerState, its texture a Texture2D, tex2D(s, uv) becomes
# T.Sample(s, uv), and the techniques are blanked. Line numbers are kept, so errors point at
# the source. Usage: check-effect.sh FILE.fx; exit status 1 on any fault.
set -euo pipefail

fx=${1:?usage: check-effect.sh FILE.fx}
[ -r "$fx" ] || { echo "FAIL $fx: cannot be read"; exit 1; }
command -v glslangValidator >/dev/null || {
  echo "FAIL glslangValidator not found (Debian package glslang-tools)"
  exit 1
}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# The first technique's passes, one line each: "pass NAME vs=PROFILE:FN ps=PROFILE:FN extra=N",
# where extra counts shader assignments beyond one of each kind.
perl -0777 -ne '
  s{//[^\n]*}{}g; s{/\*.*?\*/}{}gs;
  /\btechnique\s+(\w+)\s*\{((?:[^{}]|\{[^{}]*\})*)\}/s or do { print "none\n"; exit };
  print "technique $1\n";
  my $body = $2;
  while ($body =~ /\bpass\s+(\w*)\s*\{([^{}]*)\}/g) {
    my ($name, $pass) = ($1 || "(unnamed)", $2);
    my @vs = $pass =~ /\bVertexShader\s*=\s*compile\s+(\w+)\s+(\w+)\s*\(\s*\)\s*;/g;
    my @ps = $pass =~ /\bPixelShader\s*=\s*compile\s+(\w+)\s+(\w+)\s*\(\s*\)\s*;/g;
    my @all = $pass =~ /\b(?:VertexShader|PixelShader)\s*=/g;
    printf "pass %s vs=%s ps=%s extra=%d\n", $name, @vs ? "$vs[0]:$vs[1]" : "-",
           @ps ? "$ps[0]:$ps[1]" : "-", @all - (@vs ? 1 : 0) - (@ps ? 1 : 0);
  }' "$fx" >"$work/passes"

faults=0
fail() { echo "FAIL $fx: $*"; faults=$((faults + 1)); }

read -r kind technique <"$work/passes" || true
if [ "$kind" != technique ]; then
  fail "no technique"
  exit 1
fi
passes=$(grep -c '^pass ' "$work/passes" || true)
[ "$passes" -eq 2 ] || fail "technique $technique has $passes passes, not 2"

entries=()
while read -r _ name vs ps extra; do
  vs=${vs#vs=} ps=${ps#ps=} extra=${extra#extra=}
  [ "${vs%%:*}" = vs_2_0 ] || fail "pass $name: vertex shader is not 'compile vs_2_0 F()' ($vs)"
  [ "${ps%%:*}" = ps_2_0 ] || fail "pass $name: pixel shader is not 'compile ps_2_0 F()' ($ps)"
  [ "$extra" -eq 0 ] || fail "pass $name: $extra shader assignment(s) beyond one of each kind"
  [ "$vs" = - ] || entries+=("${vs#*:}:vert")
  [ "$ps" = - ] || entries+=("${ps#*:}:frag")
done < <(grep '^pass ' "$work/passes")

# The DX10 form for glslang, line for line.
perl -0777 -pe '
  my %texture;
  s{\bsampler(?:2D)?\s+(\w+)\s*=\s*sampler_state\s*\{(.*?)\}\s*;}{
    my ($s, $body) = ($1, $2);
    $texture{$s} = $1 if $body =~ /\bTexture\s*=\s*<\s*(\w+)\s*>/;
    "SamplerState $s;" . ("\n" x ($body =~ tr/\n//))
  }gse;
  s{\btexture(?:2D)?\s+(\w+)\s*;}{Texture2D $1;}g;
  s{\btex2D\s*\(\s*(\w+)\s*,}{exists $texture{$1} ? "$texture{$1}.Sample($1," : "tex2D($1,"}ge;
  s{\btechnique\s+\w+\s*\{(?:[^{}]|\{[^{}]*\})*\}}{my $t = $&; $t =~ tr/\n//cd; $t}gse;
' "$fx" >"$work/effect.hlsl"

shown=
for entry in "${entries[@]}"; do
  fn=${entry%:*} stage=${entry#*:}
  # A missing entry point is only a warning to glslang (it then builds an empty shader).
  if glslangValidator -D -V -e "$fn" -S "$stage" -o "$work/out.spv" "$work/effect.hlsl" \
     >"$work/log" 2>&1 && ! grep -q "Entry point not found" "$work/log"; then
    echo "ok   $fn ($stage)"
  else
    # A parse error fails every entry alike: its messages are shown once.
    messages=$(grep -E 'ERROR|error|Entry point' "$work/log" | grep -v 'compilation errors' |
               sed "s|$work/effect.hlsl|$fx|g" || true)
    [ "$messages" = "$shown" ] || echo "$messages"
    shown=$messages
    fail "$fn ($stage) does not compile"
  fi
done

if [ "$faults" -gt 0 ]; then
  echo "FAIL $fx: $faults fault(s)"
  exit 1
fi
echo "PASS $fx: technique $technique, 2 passes, ${#entries[@]} shaders compile"
